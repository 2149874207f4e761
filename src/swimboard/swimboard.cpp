// The diagram object: construction, pools and lanes, styling, validation, saving and export.
#include "orvane/swimboard.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "orvane/artifact.hpp"
#include "orvane/bpmn.hpp"
#include "orvane/drawio.hpp"
#include "orvane/event.hpp"
#include "orvane/file_io.hpp"
#include "orvane/helper.hpp"
#include "orvane/painter_factory.hpp"

namespace orvane {
namespace {

// Diagrams alive in the process; identifiers restart only when a diagram is alone.
int live_diagrams = 0;

// The picture's format is the painter's. A file name whose extension names another picture
// format would hold bytes its readers cannot open, so it is refused before anything is written;
// other extensions, and none, are the caller's choice.
void refuse_other_picture_format(const std::string& filename, const std::string& painter_type) {
  std::string extension = std::filesystem::path(filename).extension().string();
  if (extension.empty()) return;
  extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::vector<std::string> kinds = PainterFactory::kinds();
  if (extension == painter_type ||
      std::find(kinds.begin(), kinds.end(), extension) == kinds.end()) {
    return;
  }
  throw std::invalid_argument(fmt::format(
      "cannot save the {0} painter's picture as '{1}': the extension asks for {2}; name the file "
      "'.{0}' or build the Swimboard with painter type '{2}'",
      painter_type, filename, extension));
}

double wall_clock_seconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Content equality of the element tree: shapes by class, name, identifiers and style, and their
// connections by the names of their ends; lanes and pools by their fields and children.
bool same_coord(const std::shared_ptr<Coordinate>& a, const std::shared_ptr<Coordinate>& b) {
  return a && b ? *a == *b : a == b;
}

std::string target_name(const Connection& c) {
  return c.target != nullptr ? c.target->name : std::string();
}

bool same_shape(const Shape& a, const Shape& b) {
  if (a.class_name() != b.class_name() || a.name != b.name || a.lane_id != b.lane_id ||
      a.pool_name != b.pool_name || a.bpmn_id != b.bpmn_id || a.font != b.font ||
      a.font_size != b.font_size || a.font_colour != b.font_colour ||
      a.fill_colour != b.fill_colour || a.outline_colour != b.outline_colour ||
      a.outline_width != b.outline_width || a.text_alignment != b.text_alignment ||
      !same_coord(a.coord, b.coord) || a.connection_to->size() != b.connection_to->size() ||
      a.connection_from->size() != b.connection_from->size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.connection_to->size(); ++i) {
    const Connection& x = (*a.connection_to)[i];
    const Connection& y = (*b.connection_to)[i];
    if (target_name(x) != target_name(y) || x.label != y.label ||
        x.connection_type != y.connection_type || x.bpmn_id != y.bpmn_id ||
        x.source_connection_side != y.source_connection_side ||
        x.target_connection_side != y.target_connection_side) {
      return false;
    }
  }
  return true;
}

bool same_lane(const Lane& a, const Lane& b) {
  if (a.id != b.id || a.name != b.name || a.font != b.font || a.font_size != b.font_size ||
      a.font_colour != b.font_colour || a.fill_colour != b.fill_colour ||
      a.text_alignment != b.text_alignment ||
      a.background_fill_colour != b.background_fill_colour || !(a.coord == b.coord) ||
      a.width != b.width || a.height != b.height || a.shapes.size() != b.shapes.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.shapes.size(); ++i) {
    if (!same_shape(*a.shapes[i], *b.shapes[i])) return false;
  }
  return true;
}

bool same_pool(const Pool& a, const Pool& b) {
  if (a.name != b.name || a.font != b.font || a.font_size != b.font_size ||
      a.font_colour != b.font_colour || a.fill_colour != b.fill_colour ||
      a.text_alignment != b.text_alignment || a.bpmn_id != b.bpmn_id ||
      a.bpmn_collaboration_id != b.bpmn_collaboration_id || !(a.coord == b.coord) ||
      a.width != b.width || a.height != b.height || a.lanes.size() != b.lanes.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.lanes.size(); ++i) {
    if (!same_lane(*a.lanes[i], *b.lanes[i])) return false;
  }
  return true;
}

// Text forms of the elements a diagram holds, for the diagram's own text form.
std::string text_block_form(const char* kind, const TextBlock* block) {
  if (block == nullptr) return "None";
  return fmt::format("{}(text={}, font={}, font_size={}, font_colour={})", kind,
                     Helper::quoted(block->text), Helper::quoted(block->font), block->font_size,
                     Helper::quoted(block->font_colour));
}

std::string pool_form(const Pool& pool) {
  std::string lanes;
  for (const auto& lane : pool.lanes) {
    if (!lanes.empty()) lanes += ", ";
    lanes +=
        fmt::format("Lane(name={}, shapes={})", Helper::quoted(lane->name), lane->shapes.size());
  }
  return fmt::format("Pool(name={}, lanes=[{}])", Helper::quoted(pool.name), lanes);
}

bool same_text_block(const TextBlock* a, const TextBlock* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->text == b->text && a->font == b->font && a->font_size == b->font_size &&
         a->font_colour == b->font_colour && a->coord == b->coord && a->width == b->width &&
         a->height == b->height;
}

}  // namespace

Swimboard::Swimboard(std::string title, int width, int height, bool auto_size,
                     std::string colour_theme, std::string painter_type)
    : title(std::move(title)),
      width(width),
      height(height),
      auto_size(auto_size),
      colour_theme(std::move(colour_theme)),
      painter_type(std::move(painter_type)) {
  Helper::configure_log();
  start_time = wall_clock_seconds();
  painter_ = PainterFactory().get_painter(this->painter_type, this->width, this->height);
  if (!painter_) {
    throw std::runtime_error("the painter factory gave no painter for kind " +
                             Helper::quoted(this->painter_type));
  }
  set_colour_theme_(this->colour_theme);
  painter_->set_background_colour();
  _title = std::make_unique<Title>(this->title, painter_->title_font, painter_->title_font_size,
                                   painter_->title_font_colour);
  // Identifiers restart with every diagram so that its exports are reproducible, but not while
  // another diagram is alive: it may still take identifiers, which must stay unique in it.
  if (live_diagrams == 0) Helper::reset_uuid();
  ++live_diagrams;
}

Swimboard::~Swimboard() {
  --live_diagrams;
}

bool Swimboard::operator==(const Swimboard& other) const {
  if (title != other.title || width != other.width || height != other.height ||
      auto_size != other.auto_size || colour_theme != other.colour_theme ||
      painter_type != other.painter_type || !same_text_block(_title.get(), other._title.get()) ||
      !same_text_block(_footer.get(), other._footer.get()) ||
      _pools.size() != other._pools.size() || next_shape_x != other.next_shape_x ||
      lane_y_pos != other.lane_y_pos || lane_max_width != other.lane_max_width) {
    return false;
  }
  for (std::size_t i = 0; i < _pools.size(); ++i) {
    if (!same_pool(*_pools[i], *other._pools[i])) return false;
  }
  return true;
}

Pool& Swimboard::add_pool(const std::string& pool_name, const std::string& font, int font_size,
                          const std::string& font_colour, const std::string& fill_colour,
                          const std::string& text_alignment) {
  Painter& p = painter();
  auto pool = std::make_unique<Pool>(
      pool_name, font.empty() ? p.pool_font : font, font_size == 0 ? p.pool_font_size : font_size,
      font_colour.empty() ? p.pool_font_colour : font_colour,
      fill_colour.empty() ? p.pool_fill_colour : fill_colour, text_alignment, &p);
  pool->bpmn_id = Helper::get_uuid("pool");
  pool->bpmn_collaboration_id = Helper::get_uuid("pool_colab");
  _pools.push_back(std::move(pool));
  return *_pools.back();
}

Lane& Swimboard::add_lane(const std::string& lane_name, const std::string& font, int font_size,
                          const std::string& font_colour, const std::string& fill_colour,
                          const std::string& text_alignment,
                          const std::string& background_fill_colour) {
  Painter& p = painter();
  const std::string lane_font = font.empty() ? p.lane_font : font;
  const int lane_font_size = font_size == 0 ? p.lane_font_size : font_size;
  const std::string lane_font_colour = font_colour.empty() ? p.lane_font_colour : font_colour;
  const std::string lane_fill_colour = fill_colour.empty() ? p.lane_fill_colour : fill_colour;
  const std::string alignment = text_alignment.empty() ? p.lane_text_alignment : text_alignment;
  const std::string background =
      background_fill_colour.empty() ? p.lane_background_fill_colour : background_fill_colour;
  Pool& pool = add_pool("Default Pool");
  return pool.add_lane(lane_name, lane_font, lane_font_size, lane_font_colour, lane_fill_colour,
                       alignment, background);
}

void Swimboard::set_footer(const std::string& footer_name, const std::string& font, int font_size,
                           const std::string& font_colour) {
  Painter& p = painter();
  _footer = std::make_unique<Footer>(footer_name, font.empty() ? p.footer_font : font,
                                     font_size == 0 ? p.footer_font_size : font_size,
                                     font_colour.empty() ? p.footer_font_colour : font_colour);
}

void Swimboard::set_title_font_size(int font_size) {
  painter().set_title_font_size(font_size);
  if (_title) _title->font_size = font_size;
}

void Swimboard::set_element_font_size(int font_size) {
  painter().set_element_font_size(font_size);
  for (const auto& pool : _pools) {
    for (const auto& lane : pool->lanes) {
      for (Shape* shape : lane->shapes) {
        if (shape != nullptr) shape->font_size = font_size;
      }
    }
  }
}

Lane* Swimboard::_get_lane_by_id(const std::string& lane_id) const {
  for (const auto& pool : _pools) {
    for (const auto& lane : pool->lanes) {
      if (lane->id == lane_id) return lane.get();
    }
  }
  return nullptr;
}

Pool* Swimboard::_get_pool_by_name(const std::string& name) const {
  for (const auto& pool : _pools) {
    if (pool->name == name) return pool.get();
  }
  return nullptr;
}

void Swimboard::set_colour_theme_(const std::string& palette) {
  painter_->set_colour_theme(palette);
}

void Swimboard::_validate() const {
  if (title.empty() && !_title) {
    throw std::invalid_argument("The process map must contain a title");
  }
  if (_pools.empty()) {
    throw EmptySwimboardException("The process map must contain at least one pool or lane");
  }
  for (const auto& pool : _pools) {
    if (!pool->lanes.empty() && pool->lanes.front()->shapes.empty()) {
      throw EmptySwimboardException("The process map must contain at least one shape");
    }
  }
}

void Swimboard::check_connection_lists_() const {
  auto check = [](const Shape* shape) {
    if (shape == nullptr || (shape->connection_to && shape->connection_from)) return;
    throw std::invalid_argument(
        "shape " + Helper::quoted(shape->name) +
        " has no connection list: connection_to and connection_from must each hold a list, "
        "empty when the shape has no connections that way");
  };
  for (const auto& pool : _pools) {
    if (pool->participant() != nullptr) check(pool->participant());
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) check(shape);
      for (const Shape* shape : lane->attached) check(shape);
    }
  }
}

std::vector<std::string> Swimboard::_get_orphan_elements() const {
  check_connection_lists_();
  std::vector<std::string> names;
  for (const auto& pool : _pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) {
        if (shape == nullptr) continue;
        if (shape->connection_to->empty() && shape->connection_from->empty()) {
          names.push_back(shape->name);
        }
      }
    }
  }
  return names;
}

std::vector<std::string> Swimboard::_get_dangling_elements() const {
  // Events that may stand without anything leading into them; the test is on the exact class.
  static const std::vector<std::string> may_start{
      "Start", "End", "Timer", "Message", "MessageEnd", "Signal", "SignalEnd", "Conditional"};
  check_connection_lists_();
  std::vector<std::string> names;
  for (const auto& pool : _pools) {
    for (const auto& lane : pool->lanes) {
      for (const Shape* shape : lane->shapes) {
        if (shape == nullptr) continue;
        const std::string cls = shape->class_name();
        if (std::find(may_start.begin(), may_start.end(), cls) != may_start.end()) continue;
        // A typed event says itself whether it is a start or end event, spared like those.
        if (const auto* typed = dynamic_cast<const TypedEvent*>(shape);
            typed != nullptr && typed->position() != EventPosition::INTERMEDIATE) {
          continue;
        }
        if (shape->connection_from->empty()) names.push_back(shape->name);
      }
    }
  }
  return names;
}

void Swimboard::save(const std::string& filename) {
  refuse_other_picture_format(filename, painter_type);
  painter().save_surface(filename);
  const double elapsed_ms = (wall_clock_seconds() - start_time) * 1000.0;
  Helper::info_log(fmt::format("Took [{:.2f}ms] to generate '{}' diagram", elapsed_ms, filename));
}

void Swimboard::export_to_bpmn(const std::string& filename) {
  write_file_atomically(filename, bpmn_document());
}

void Swimboard::export_to_drawio(const std::string& filename) {
  write_file_atomically(filename, drawio_document());
}

std::string Swimboard::bpmn_document() {
  if (!bpmn_source) return BPMN().to_xml(_pools);
  std::vector<BpmnPlane> planes{{bpmn_source->plane_element, &_pools}};
  for (const Subdiagram& sub : subdiagrams) {
    if (sub.board) planes.push_back({sub.element, &sub.board->_pools});
  }
  return BPMN().write_back_xml(*bpmn_source, planes);
}

std::string Swimboard::drawio_document() {
  return DrawIO().to_xml(_pools);
}

std::ostream& operator<<(std::ostream& out, const Swimboard& board) {
  std::string pools;
  for (const auto& pool : board._pools) {
    if (!pools.empty()) pools += ", ";
    pools += pool_form(*pool);
  }
  return out << fmt::format(
             "Swimboard(title={}, width={}, height={}, auto_size={}, colour_theme={}, "
             "painter_type={}, _title={}, _footer={}, _pools=[{}], next_shape_x={}, "
             "lane_y_pos={}, lane_max_width={})",
             Helper::quoted(board.title), board.width, board.height, board.auto_size,
             Helper::quoted(board.colour_theme), Helper::quoted(board.painter_type),
             text_block_form("Title", board._title.get()),
             text_block_form("Footer", board._footer.get()), pools, board.next_shape_x,
             board.lane_y_pos, board.lane_max_width);
}

std::string to_string(const Swimboard& board) {
  std::ostringstream text;
  text << board;
  return text.str();
}

}  // namespace orvane
