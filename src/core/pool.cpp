#include "orvane/pool.hpp"

#include <stdexcept>

#include "orvane/artifact.hpp"
#include "orvane/helper.hpp"

namespace orvane {

Pool::Pool(std::string name, std::string font, int font_size, std::string font_colour,
           std::string fill_colour, std::string text_alignment, Painter* painter)
    : name(std::move(name)),
      font(std::move(font)),
      font_size(font_size),
      font_colour(std::move(font_colour)),
      fill_colour(std::move(fill_colour)),
      text_alignment(std::move(text_alignment)),
      painter_(painter) {}

Pool::~Pool() = default;

std::size_t Pool::band_messages() const {
  return participant_ && participant_->connection_to ? participant_->connection_to->size() : 0;
}

Participant& Pool::make_black_box() {
  if (!lanes.empty()) {
    throw std::invalid_argument("pool " + Helper::quoted(name) +
                                " has lanes; only a pool without lanes can be a black box");
  }
  if (!participant_) {
    participant_ = std::make_unique<Participant>(name, "", name);
    participant_->pool = this;
    participant_->bpmn_id = bpmn_id;
  }
  return *participant_;
}

Lane& Pool::add_lane(const std::string& lane_name, const std::string& font, int font_size,
                     const std::string& font_colour, const std::string& fill_colour,
                     const std::string& text_alignment, const std::string& background_fill_colour) {
  if (black_box()) {
    throw std::invalid_argument("pool " + Helper::quoted(name) +
                                " is a black box; it shows no lanes");
  }
  lanes.push_back(std::make_unique<Lane>(lane_name, font, font_size, font_colour, fill_colour,
                                         text_alignment, background_fill_colour, this));
  return *lanes.back();
}

}  // namespace orvane
