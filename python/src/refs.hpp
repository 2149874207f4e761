// Elements that the library may move or replace while their diagram lives: Python holds where
// to find them, never a pointer to them, and every use looks them up again.
#pragma once

#include "common.hpp"
#include "orvane/shape.hpp"

namespace orvane::python {

/// A connection: its shape and its position in the shape's outgoing list, a list that grows
/// and may move in memory.
class ConnectionRef {
 public:
  ConnectionRef(py::object shape_object, Shape& shape, std::size_t index)
      : shape_object_(std::move(shape_object)), shape_(&shape), index_(index) {}

  /// The connection; IndexError when the shape's list no longer reaches this position.
  Connection& get() const {
    if (!shape_->connection_to || index_ >= shape_->connection_to->size()) {
      throw py::index_error("the connection is no longer in its shape's list");
    }
    return (*shape_->connection_to)[index_];
  }

 private:
  // Keeps the shape, and through it its diagram, alive.
  py::object shape_object_;
  Shape* shape_;
  std::size_t index_;
};

/// The diagram's title or footer element. A diagram replaces its footer on set_footer, so
/// Python holds the diagram and reads whichever element it holds at the time of use.
class TextRef {
 public:
  TextRef(py::object board_object, Board& board, bool footer)
      : board_object_(std::move(board_object)), board_(&board), footer_(footer) {}

  /// The element; ValueError when the diagram has none.
  TextBlock& get() const {
    TextBlock* block = footer_ ? static_cast<TextBlock*>(board_->get()._footer.get())
                               : static_cast<TextBlock*>(board_->get()._title.get());
    if (block == nullptr) {
      throw py::value_error(footer_ ? "the diagram has no footer" : "the diagram has no title");
    }
    return *block;
  }
  const char* kind() const { return footer_ ? "Footer" : "Title"; }

 private:
  py::object board_object_;
  Board* board_;
  bool footer_;
};

/// Holders of elements that a diagram owns: Python never deletes them.
using ShapeClass = py::class_<Shape, std::unique_ptr<Shape, py::nodelete>>;
using LaneClass = py::class_<Lane, std::unique_ptr<Lane, py::nodelete>>;
using PoolClass = py::class_<Pool, std::unique_ptr<Pool, py::nodelete>>;
using CoordinateClass = py::class_<Coordinate, std::shared_ptr<Coordinate>>;

}  // namespace orvane::python
