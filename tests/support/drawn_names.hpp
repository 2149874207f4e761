// Every text a drawn diagram shows: title, footer, pool, lane and shape names, connection labels.
#pragma once

#include <string>
#include <vector>

#include "orvane/swimboard.hpp"

namespace orvane::test {

/// The non-empty names of `board`, in drawing order, each once.
inline std::vector<std::string> drawn_names(const Swimboard& board) {
  std::vector<std::string> names;
  auto add = [&names](const std::string& name) {
    if (name.empty()) return;
    for (const auto& known : names) {
      if (known == name) return;
    }
    names.push_back(name);
  };
  if (board._title) add(board._title->text);
  for (const auto& pool : board._pools) {
    add(pool->name);
    for (const auto& lane : pool->lanes) add(lane->name);
  }
  for (const auto& pool : board._pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) {
        if (shape == nullptr) continue;
        add(shape->name);
        if (!shape->connection_to) continue;
        for (const Connection& c : *shape->connection_to) add(c.label);
      }
    }
  }
  if (board._footer) add(board._footer->text);
  return names;
}

}  // namespace orvane::test
