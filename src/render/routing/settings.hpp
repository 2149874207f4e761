// The distances and costs of the routing design, in pixels (a cost of 1 is one pixel of route).
#pragma once

#include <cstddef>

namespace orvane::routing {

/// Routes keep this far off every shape they do not start or end at.
inline constexpr double CLEARANCE = 10;
/// A route leaves and enters a shape straight, for at least this long.
inline constexpr double STUB = 20;
/// ...or, where the line that far out lies beyond a border or in another shape, at least this.
inline constexpr double SHORT_STUB = CLEARANCE + 2;
/// ...except in a channel too tight for CLEARANCE between the routes sharing it: then they may
/// come this close, so that they still run on lines of their own.
inline constexpr double TIGHT_CLEARANCE = 2;
/// What a pixel of a close route through a text annotation costs, where there is no way round
/// it (a route has nowhere else to go but through a shape).
inline constexpr double NOTE_COST_PER_PIXEL = 20;
/// The states all searches for such close routes in one drawing may look at together: about two
/// seconds' work, on a hostile diagram with hundreds of hemmed-in links leading far away.
inline constexpr std::size_t TIGHT_SEARCH_BUDGET = 4000000;
/// Routes keep this far off pool and lane borders that they run beside.
inline constexpr double BORDER_KEEP_OFF = 6;
/// ...and at least this far where the channel is too tight for that: closer, a route reads as
/// the border itself.
inline constexpr double TIGHT_BORDER_KEEP_OFF = 4;
/// Room around the drawing for routes that go round everything.
inline constexpr double OUTER_MARGIN = 40;
/// Parallel routes sharing a channel are spread this far apart where it has room...
inline constexpr double IDEAL_SEPARATION = 20;
/// ...and never closer than this where it has room for that.
inline constexpr double MIN_SEPARATION = 12;
/// Routes closer than this read as one line: an order of them that crosses is better.
inline constexpr double MERGED_SEPARATION = 2;
/// A path search first looks this far around the box of a connection's two ends.
inline constexpr double SEARCH_MARGIN = 300;
/// How much the search's estimate outweighs the cost so far: 1, the cheapest route, for ends
/// up to SEARCH_WEIGHT_FROM pixels apart (a weight of 1.1 saved little time there and cost
/// bends: a flow jumping a data store by four bends where two over it cost less); growing by
/// one for every SEARCH_WEIGHT_PER pixels beyond, where it looks at fewer alternatives and
/// stays within that factor of the cheapest.
inline constexpr double SEARCH_WEIGHT = 1.0;
inline constexpr double SEARCH_WEIGHT_FROM = 2000;
inline constexpr double SEARCH_WEIGHT_PER = 3000;
/// Connections whose ends lie further apart than this across the diagram run along a corridor
/// (see corridors.hpp).
inline constexpr double LONG_REACH = 3000;
/// Choosing a corridor: each corridor of another long route on the same line along the same
/// stretch, and running through names, cost as much as this many pixels of detour.
inline constexpr double CORRIDOR_SHARE_COST = 400;
inline constexpr double CORRIDOR_NAME_COST = 200;

// The cost of a route: its length, plus these.
/// Each bend.
inline constexpr double BEND_COST = 60;
/// Each crossing of another route.
inline constexpr double CROSSING_COST = 80;
/// A route turning on another route, or touching its corner: it would read as joined.
inline constexpr double TOUCH_COST = 60;
/// Each pixel run on the same line as an unrelated route (nudging then has to part them).
inline constexpr double SHARE_COST = 0.8;
/// Entering the name of a shape, and each pixel run inside it.
inline constexpr double NAME_COST = 30;
inline constexpr double NAME_COST_PER_PIXEL = 1;
/// Leaving or entering a shape by a side that another route uses the other way round, or a round
/// or diamond shape's side that an unrelated route uses: less than two bends, so that a loop back
/// into a gateway whose facing corner already takes a flow does not go all the way round it
/// instead.
inline constexpr double SIDE_CONFLICT_COST = 110;
/// ...but a rectangle's side has room for several routes: each unrelated one already there the
/// same way costs this, and so do routes the other way round where one of the two is a message
/// flow or an association (a request and its reply side by side).
inline constexpr double RECTANGLE_SIDE_SHARE_COST = 20;
/// Meeting a side away from its middle, on the line through the middle of the shape at the
/// route's other end: more than a bend, less than the two of a jog to the middle, so a route
/// between two shapes facing each other off centre runs straight.
inline constexpr double OFF_MIDDLE_PORT_COST = 90;
/// How far from the lines of black-box messages passing a side a route straight across into it
/// keeps: more than the messages keep from each other, so that one turning round the shape
/// still reads apart from it.
inline constexpr double PASSED_SIDE_SPACING = 20;
/// Leaving by the side of an earlier branch of the same fork (joining its trunk) rather than
/// by a free side; the same for joins.
inline constexpr double TRUNK_REUSE_COST = 30;
/// Each pixel run on the trunk of a fork or join, shared with a route already laid: half a
/// pixel of route. A branch shares a trunk for the bends and crossings it is spared there; at a
/// fifth of a pixel, branches went a long way round along a trunk, over more routes and with
/// more bends, and at a whole pixel a branch beside its trunk ran on a line of its own (300
/// generated processes: at a fifth 0.702 crossings and 0.798 bends per connection and 52 pairs
/// of branches on parallel tracks, at a half 0.692, 0.788 and 53, at one 0.686, 0.761 and 89).
inline constexpr double TRUNK_COST_PER_PIXEL = 0.5;
/// A branch may start on the trunks of the latest this many branches laid from its side (and
/// end on those of its join): on a fork or join of thousands of branches (no process has one,
/// but generated files do) looking at every earlier trunk made laying grow with the square of
/// the branches. The latest reach furthest along a fan laid in order; no fork of a real
/// process comes near this.
inline constexpr std::size_t MAX_TRUNKS = 128;

/// Each pixel run along a stretch of a channel where nudging could not part the routes
/// MIN_SEPARATION apart (see crowding.hpp).
inline constexpr double CROWD_COST = 2;
/// How many times the routes of crowded stretches are laid again (on large diagrams a round
/// costs about as much as the first laying).
inline constexpr int CROWDING_ROUNDS = 2;
/// How many rounds lay the routes crossed most again, knowing every other route: the first
/// takes nearly all the crossings there are to take (300 generated processes: 0.731 crossings
/// per connection, 0.676 after one round, 0.671 after three), and each round draws the whole
/// diagram again up to three times.
inline constexpr int RELAYING_ROUNDS = 1;
/// Diagrams with more links than this skip those rounds and keep no part of a crowding round
/// that left more crowded stretches: drawing a diagram again costs as much as laying its routes
/// did, so at 100,000 shapes these took as long as all the rest.
inline constexpr std::size_t RELAY_MAX_LINKS = 20000;
/// A route crossed this many times or more is laid again, knowing every other route.
inline constexpr int RELAY_CROSSINGS = 1;
/// ...at most this many times.
inline constexpr int RELAY_TRIES = 2;
/// What a stretch where a route could not be parted from another counts against it, when
/// deciding whether a route laid again got better.
inline constexpr double CROWDED_COST = 200;
/// ...and what each crossing counts (more than laying prices it: a route laid again may take a
/// longer way round to cross fewer routes).
inline constexpr double RELAID_CROSSING_COST = 2 * CROSSING_COST;

}  // namespace orvane::routing
