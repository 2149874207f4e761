#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/element_type.hpp"
#include "orvane/export.hpp"
#include "orvane/input_limits.hpp"
#include "orvane/swimboard.hpp"
#include "orvane/vocabulary.hpp"

namespace orvane {

/// Bounds of the values a description may give (the ceilings of the input are InputLimits).
struct LoadLimits {
  /// Bounds of the canvas size and of font sizes.
  static constexpr int MIN_CANVAS = 100;
  static constexpr int MAX_CANVAS = 10000;
  static constexpr int MAX_FONT_SIZE = 200;
};

/// A position in a description file; line and column count from 1, 0 when unknown.
struct SourceMark {
  int line = 0;
  int column = 0;
};

/// A description that cannot be loaded. what() reads "FILE:LINE:COLUMN: error: MESSAGE" (or
/// "FILE: error: MESSAGE" when no position applies).
class ORVANE_API DescriptionError : public std::invalid_argument {
 public:
  DescriptionError(std::string source, SourceMark mark, std::string message);
  const std::string& source() const { return source_; }
  const SourceMark& mark() const { return mark_; }
  /// The message without file and position.
  const std::string& message() const { return message_; }

 private:
  std::string source_;
  SourceMark mark_;
  std::string message_;
};

struct ShapeDescription {
  std::string id;
  std::string name;
  ElementType type = ElementType::TASK;
  /// The `type` word as given; it says what is set beyond the class.
  const TypeWord* word = nullptr;
  SourceMark mark;
  /// A boundary event: the id of the activity it sits on.
  std::string attached_to;
  SourceMark attached_mark;
  /// Start events, boundary events and event sub-processes: false when not interrupting.
  bool interrupting = true;
  /// Activity markers.
  LoopType loop = LoopType::NONE;
  bool compensation = false;
  bool ad_hoc = false;
  /// An exclusive gateway drawn without its X (`marker: none`).
  bool hide_marker = false;
  /// A data object that is a collection.
  bool collection = false;
  /// The trigger of an event sub-process's start event.
  EventTrigger trigger = EventTrigger::NONE;
  /// Colours of its own (fill, outline, name); empty for the theme's.
  std::string fill_colour;
  std::string outline_colour;
  std::string font_colour;
};

struct LaneDescription {
  std::string name;
  std::string font;
  int font_size = 0;
  std::string font_colour;
  std::string fill_colour;
  std::string text_alignment = "centre";
  std::string background_fill_colour;
  std::vector<ShapeDescription> shapes;
  SourceMark mark;
  /// The exported id; empty for a generated one.
  std::string id;
};

struct PoolDescription {
  std::string name;
  /// The exported id (and, for a black-box pool, the id connections name; it defaults to the
  /// name there).
  std::string id;
  /// A pool whose process is not shown: no lanes, the end of message flows.
  bool black_box = false;
  std::string font;
  int font_size = 0;
  std::string font_colour;
  std::string fill_colour;
  std::string text_alignment = "centre";
  std::vector<LaneDescription> lanes;
  SourceMark mark;
};

struct FooterDescription {
  std::string text;
  std::string font;
  int font_size = 0;
  std::string font_colour;
};

struct ConnectionDescription {
  std::string from;
  std::string to;
  std::string label;
  SourceMark mark;
  /// The exported id; empty for a generated one.
  std::string id;
  /// A default flow.
  bool is_default = false;
  /// The condition of a conditional flow.
  std::string condition;
  /// An association (`type: association`) and its arrowheads.
  bool association = false;
  AssociationDirection direction = AssociationDirection::NONE;
};

/// A text annotation on a shape.
struct AnnotationDescription {
  std::string id;
  std::string text;
  /// The id of the shape it explains.
  std::string on;
  SourceMark mark;
  /// The exported id of the association joining it to that shape; empty for a generated one.
  std::string association_id;
};

/// A group around shapes.
struct GroupDescription {
  std::string id;
  std::string name;
  std::vector<std::string> members;
  SourceMark mark;
};

/// A checked diagram description: every key known, every value of the right kind, ids unique
/// and every connection between known shapes.
struct DiagramDescription {
  std::string source;
  std::string title = "<Process Map Title>";
  std::string theme = "DEFAULT";
  SourceMark theme_mark;
  std::optional<std::string> painter;
  SourceMark painter_mark;
  int width = 5000;
  int height = 5000;
  bool auto_size = true;
  std::optional<int> title_font_size;
  std::optional<int> element_font_size;
  std::optional<FooterDescription> footer;
  std::vector<PoolDescription> pools;
  /// Lanes without a pool, each drawn in a pool of its own.
  std::vector<LaneDescription> lanes;
  std::vector<ConnectionDescription> connections;
  std::vector<AnnotationDescription> annotations;
  std::vector<GroupDescription> groups;
  /// The exported id of the collaboration of the pools; empty for a generated one.
  std::string collaboration_id;
};

/// Refuses text that is too large, not UTF-8, holds control characters or nests too deeply,
/// before the YAML reader sees it.
ORVANE_API void prescan_description(std::string_view text, const std::string& source,
                                    const InputLimits& limits = {});

/// Parses and checks a description text; `source` names it in messages.
ORVANE_API DiagramDescription parse_description(std::string_view text, const std::string& source,
                                                const InputLimits& limits = {});

/// Reads a description file, refusing unreadable and oversized files.
ORVANE_API std::string read_description_file(const std::string& path,
                                             const InputLimits& limits = {});

/// How a description is read and its diagram built.
struct LoadOptions {
  /// Overrides the description's painter kind ("png", "svg", "pdf").
  std::optional<std::string> painter_type;
  InputLimits limits;
};

/// A built diagram and the file ids of its shapes.
struct ORVANE_API LoadedDiagram {
  std::string source;
  std::unique_ptr<Swimboard> board;
  /// File id -> shape, as built (before drawing replaces generic events).
  std::map<std::string, Shape*> shapes_by_id;
  /// bpmn_id -> file id; a replaced event keeps its bpmn_id, so this survives drawing.
  std::map<std::string, std::string> ids_by_bpmn_id;
  /// The file id of `shape`, or nullopt for a shape the description did not create.
  std::optional<std::string> file_id(const Shape& shape) const;
};

/// Builds the Swimboard a checked description describes.
ORVANE_API LoadedDiagram build_diagram(const DiagramDescription& description,
                                       const LoadOptions& options = {});
/// Parses, checks and builds a description text.
ORVANE_API LoadedDiagram load_diagram_text(std::string_view text, const std::string& source,
                                           const LoadOptions& options = {});
/// Reads, parses, checks and builds a description file.
ORVANE_API LoadedDiagram load_diagram(const std::string& path, const LoadOptions& options = {});

}  // namespace orvane
