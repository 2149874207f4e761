#pragma once

#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvane/bpmn.hpp"
#include "orvane/export.hpp"
#include "orvane/footer.hpp"
#include "orvane/layout.hpp"
#include "orvane/painter.hpp"
#include "orvane/pool.hpp"
#include "orvane/title.hpp"

namespace orvane {

/// A diagram that cannot be drawn for lack of content.
class ORVANE_API EmptySwimboardException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
/// Defined for callers; orvane raises it nowhere.
class ORVANE_API UnconnectedElementException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
/// Defined for callers; orvane raises it nowhere.
class ORVANE_API DanglingElementException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Swimboard;

/// The contents of a collapsed sub-process, drawn as a diagram of their own.
struct Subdiagram {
  /// The id of the sub-process.
  std::string element;
  std::unique_ptr<Swimboard> board;
};

/// One diagram: its settings, pools (each holding lanes, each lane its shapes), title, footer,
/// painter and layout grid. Build it, add pools, lanes, shapes and connections, then draw(),
/// save() and export. The object is its own scope: destroying it neither draws nor saves.
class ORVANE_API Swimboard {
 public:
  /// Gets a painter of `painter_type` sized width x height from PainterFactory, applies the
  /// colour theme and background, and creates the title from the painter's title defaults.
  /// Restarts the identifier sequence, so each diagram's identifiers are reproducible.
  explicit Swimboard(std::string title = "<Process Map Title>", int width = 5000, int height = 5000,
                     bool auto_size = true, std::string colour_theme = "DEFAULT",
                     std::string painter_type = "png");
  ~Swimboard();
  Swimboard(const Swimboard&) = delete;
  Swimboard& operator=(const Swimboard&) = delete;

  // Declared fields, in order.
  /// The title text, copied into _title at construction.
  std::string title;
  /// The picture size: the initial surface, then the size computed by draw().
  int width;
  int height;
  /// Whether draw() resizes the surface to width x height.
  bool auto_size;
  std::string colour_theme;
  std::string painter_type;
  std::unique_ptr<Title> _title;
  /// The footer, once set_footer was called.
  std::unique_ptr<Footer> _footer;
  /// The pools in the order they were added.
  std::vector<std::unique_ptr<Pool>> _pools;
  int next_shape_x = 0;
  int lane_y_pos = 0;
  /// The widest lane any draw() has seen; never lowered.
  int lane_max_width = 0;

  /// Wall-clock seconds at which construction began.
  double start_time = 0;
  /// The layout grid, rebuilt by every draw().
  Grid _layout_grid;

  /// The BPMN document the diagram was read from, or nullptr: export_to_bpmn then writes that
  /// document back with the drawn layout as its diagram interchange.
  std::shared_ptr<const BpmnSource> bpmn_source;
  /// Diagrams of the contents of collapsed sub-processes: draw() draws them too, and
  /// export_to_bpmn writes each as a plane of its own.
  std::vector<Subdiagram> subdiagrams;

  /// Compares the twelve declared fields (pools and elements by content).
  bool operator==(const Swimboard& other) const;

  /// A new pool at the end of the diagram; empty styles come from the painter's pool defaults.
  Pool& add_pool(const std::string& pool_name, const std::string& font = "", int font_size = 0,
                 const std::string& font_colour = "", const std::string& fill_colour = "",
                 const std::string& text_alignment = "centre");
  /// A lane in a new pool of its own, named "Default Pool"; empty styles come from the
  /// painter's lane defaults.
  Lane& add_lane(const std::string& lane_name, const std::string& font = "", int font_size = 0,
                 const std::string& font_colour = "", const std::string& fill_colour = "",
                 const std::string& text_alignment = "centre",
                 const std::string& background_fill_colour = "");
  /// Sets (or replaces) the footer; empty styles come from the painter's footer defaults.
  void set_footer(const std::string& footer_name, const std::string& font = "", int font_size = 0,
                  const std::string& font_colour = "");
  /// Sets the title's font size, on the painter and on the title element.
  void set_title_font_size(int font_size);
  /// Sets the font size on the painter and on every shape now in the diagram.
  void set_element_font_size(int font_size);
  /// The first lane (pool order, then lane order) with this id, or nullptr.
  Lane* _get_lane_by_id(const std::string& lane_id) const;
  /// The first pool with this name, or nullptr.
  Pool* _get_pool_by_name(const std::string& name) const;

  /// Gives every placed shape a fresh coordinate with x from its column.
  void _set_shape_x_position();
  /// Sets every placed shape's y from its row number and lane, and raises lane_max_width.
  void _set_shape_y_position();
  /// Positions title, lanes, pools, shapes and footer, and computes width and height.
  void _set_draw_position();
  /// Names of the shapes with no connection in either direction.
  std::vector<std::string> _get_orphan_elements() const;
  /// Names of the shapes nothing leads into, start-like events excepted.
  std::vector<std::string> _get_dangling_elements() const;
  /// Refuses a diagram without a title, without pools, or whose first lane of a pool is empty.
  void _validate() const;
  /// Validates, replaces generic events, lays out, positions and paints the whole diagram, then
  /// draws its subdiagrams.
  void draw();
  /// What draw() does before painting: validates, replaces generic events, lays out and
  /// positions the diagram and routes its connections (not its subdiagrams), for callers that
  /// need the positions and routes without a picture. Call it or draw(), not both.
  void arrange();

  /// Replacement of generic message, signal and conditional events by the start,
  /// intermediate or end kind their connections call for.
  void _replace_message_element(Pool& pool, Lane& lane, std::size_t index, Shape* shape);
  void _replace_conditional_element(Pool& pool, Lane& lane, std::size_t index, Shape* shape);
  void _replace_signal_element(Pool& pool, Lane& lane, std::size_t index, Shape* shape);
  Shape* _replace_element_type(Pool& pool, Lane& lane, Shape* shape, ElementType new_shape_type);
  Shape* _replace_connections(Shape* current_shape, Shape* new_shape);
  void _replace_connection_from(Shape* current_shape, Shape* new_shape);
  /// The replacement pass of draw(): every pool, lane and position in order.
  void _replace_elements();

  /// Writes the painted picture to `filename`, then logs the time taken since construction.
  /// The format is the painter's: a name ending in another painter kind's extension (".svg"
  /// for a png painter) is refused with std::invalid_argument before anything is written.
  void save(const std::string& filename);
  /// Writes the diagram as BPMN 2.0 XML; a diagram read from a BPMN document writes that
  /// document back with the drawn layout as its diagram interchange (bpmn_source).
  void export_to_bpmn(const std::string& filename);
  /// Writes the diagram as a drawio document.
  void export_to_drawio(const std::string& filename);
  /// The documents export_to_bpmn and export_to_drawio write. Both only read the drawn
  /// diagram, so they may be made on two threads at once, and while its picture is saved.
  std::string bpmn_document();
  std::string drawio_document();

  /// The diagram's painter.
  Painter& painter() const { return *painter_; }
  /// The fonts the diagram's texts (title, footer, pools, lanes, shapes, labels) ask for that
  /// the system does not have, each with the font set instead, as the painter's replaced_fonts
  /// lists them after draw(); found by measuring a letter in each font, without a layout.
  std::vector<FontReplacement> missing_fonts() const;
  /// The characters of the diagram's texts that no installed font has, as the painter's
  /// missing_characters lists them after draw(); found by measuring each text that is not
  /// plain ASCII, without a layout.
  std::vector<char32_t> missing_characters() const;

 private:
  void set_colour_theme_(const std::string& palette);
  /// Throws std::invalid_argument naming the first shape (or black-box band) whose
  /// connection_to or connection_from a caller left without a list: every step reads them.
  void check_connection_lists_() const;
  std::unique_ptr<Painter> painter_;
};

/// The diagram's declared fields in order, as "Swimboard(title='...', width=..., ...)": texts in
/// quoted form, the title and footer by their text and style, each pool by its name and its
/// lanes' names and shape counts, a missing element as None.
ORVANE_API std::ostream& operator<<(std::ostream& out, const Swimboard& board);
/// The same text form as a string.
ORVANE_API std::string to_string(const Swimboard& board);

}  // namespace orvane
