#include "crowding.hpp"

namespace orvane::routing {

void Crowding::add(const Crowded& stretch) {
  // The search's lines lie on whole or half pixels; the stretch's line is one of them.
  const int line = stretch.vertical ? graph_.column_at(stretch.line) : graph_.row_at(stretch.line);
  if (line < 0) return;
  const auto [first, last] = stretch.vertical
                                 ? graph_.rows_within(stretch.along.lo, stretch.along.hi)
                                 : graph_.columns_within(stretch.along.lo, stretch.along.hi);
  for (int k = first; k <= last; ++k) {
    const Vertex v = stretch.vertical ? Vertex{line, k} : Vertex{k, line};
    bool inserted = false;
    std::uint8_t& mark = marks_.insert(ChannelGraph::key(v), 0, inserted);
    mark |= stretch.vertical ? VERTICAL : HORIZONTAL;
  }
}

}  // namespace orvane::routing
