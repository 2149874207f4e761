#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "orvane/export.hpp"

namespace orvane {

struct Connection;
class Painter;
class Pool;
class Shape;

/// Places the shapes that stand in no lane cell once every lane shape has its box: each group
/// around its members (with room for its name above them), then each text annotation in free
/// space beside the shape it explains (clear of shapes, names, other annotations and their
/// lines and the room round boundary events where their names go, off the straight flows
/// between shapes facing each other in a row or column, inside that shape's lane where it can),
/// joined to it by a straight association. Boundary events are
/// placed with their activity (Activity::set_draw_position).
ORVANE_API void position_attached_shapes(const std::vector<std::unique_ptr<Pool>>& pools,
                                         Painter& painter);

/// Fits each group around its members, their boundary events and those events' names (which
/// the router may have moved beside their flows; run again after the router), and around the
/// frame and name of each group inside it, up to eight deep, so that names stay apart.
ORVANE_API void fit_groups(const std::vector<std::unique_ptr<Pool>>& pools, Painter& painter);

/// Routes the message flows to and from black-box pools, which no lane holds: a straight
/// vertical line between the shape's top or bottom (whichever faces the pool) and the pool's
/// band, side by side when a shape has several; round the shapes in the way on a line no other
/// route runs close beside; the label beside the line where it covers no shape, name, route or
/// label. The router runs it once its own routes and the names are placed, before the other
/// connections' labels; returns the messages it laid.
ORVANE_API std::vector<const Connection*> route_black_box_messages(
    const std::vector<std::unique_ptr<Pool>>& pools, const Painter& painter);

/// The message flows between shapes and black-box pools, grouped by the shape at the other end,
/// in the order route_black_box_messages lays them: the messages the bands send, pool by pool,
/// then those the shapes send, lane by lane. Each shape's messages meet it side by side in this
/// order (black_box_message_x), which the router also uses to keep other routes off their way.
ORVANE_API std::vector<std::pair<Shape*, std::vector<Connection*>>> black_box_messages_by_shape(
    const std::vector<std::unique_ptr<Pool>>& pools);

}  // namespace orvane
