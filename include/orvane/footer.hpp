#pragma once

#include "orvane/title.hpp"

namespace orvane {

/// The diagram's footer, below the pools.
class ORVANE_API Footer : public TextBlock {
 public:
  using TextBlock::TextBlock;

 protected:
  bool bold() const override { return false; }
};

}  // namespace orvane
