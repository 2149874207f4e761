#include "text_layout.hpp"

#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "font_configuration.hpp"

namespace orvane {
namespace {

// The smallest size a text shrinks to before it is cut, and the smallest a text that keeps all
// its lines may reach.
constexpr double FLOOR_SIZE = 8;
constexpr double FLOOR_SHARE = 0.7;
constexpr double KEEP_LINES_MIN_SIZE = 4;
// Each shrinking step takes this share of the style's size off.
constexpr double SHRINK_STEP = 0.05;
// Pango measures in integer units of 1/1024 px; keep sizes where that cannot overflow.
constexpr double MAX_EXTENT = 1e6;

double usable(double v) {
  return std::isfinite(v) && v > 0 ? std::min(v, MAX_EXTENT) : 0.0;
}

double base_size(const TextStyle& style) {
  return std::clamp(style.font_size, 1, 1000);
}

// Sizes to try, largest first: the style's size in steps down to `smallest`.
std::vector<double> sizes_down_to(double size, double smallest) {
  std::vector<double> sizes;
  for (int k = 0;; ++k) {
    double s = std::round(size * (1 - SHRINK_STEP * k) * 10) / 10;
    if (s <= smallest) break;
    sizes.push_back(s);
  }
  sizes.push_back(std::min(size, smallest));
  return sizes;
}

double floor_size(double size) {
  return std::min(size, std::round(std::max(FLOOR_SIZE, size * FLOOR_SHARE) * 10) / 10);
}

// The families a text in `font` asks pango for: the font, then the fallbacks, named here or
// added by the configuration.
std::string families_to_ask(const std::string& font) {
  if (fallback_fonts_configured()) return font.empty() ? DEFAULT_FONT : font;
  return font.empty() ? FALLBACK_FONTS : font + "," + FALLBACK_FONTS;
}

// The names in a comma-separated list of families, trimmed.
std::vector<std::string> family_names(const std::string& families) {
  std::vector<std::string> names;
  for (std::size_t from = 0; from <= families.size();) {
    std::size_t comma = families.find(',', from);
    if (comma == std::string::npos) comma = families.size();
    gchar* name = g_strstrip(g_strndup(families.c_str() + from, comma - from));
    if (*name != '\0') names.emplace_back(name);
    g_free(name);
    from = comma + 1;
  }
  return names;
}

// The font a text in `style` asks for at `font_size`; the caller frees it.
PangoFontDescription* description_of(const TextStyle& style, double font_size) {
  const std::string family = families_to_ask(style.font);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, family.c_str());
  pango_font_description_set_size(font, static_cast<gint>(std::lround(font_size * PANGO_SCALE)));
  pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  return font;
}

LayoutPtr new_layout(PangoContext* context, const std::string& text, const TextStyle& style,
                     double font_size) {
  LayoutPtr layout(pango_layout_new(context), &g_object_unref);
  PangoFontDescription* font = description_of(style, font_size);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  if (style.alignment == "left") {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_LEFT);
  } else if (style.alignment == "right") {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
  } else {
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
  }
  // A word broken between characters gets no hyphen: every painter shows the same characters,
  // and the text stays findable as written.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
  pango_layout_set_attributes(layout.get(), attributes);
  pango_attr_list_unref(attributes);
  pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
  return layout;
}

PangoRectangle logical_extents(PangoLayout* layout) {
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return logical;
}

bool fits(PangoLayout* layout, double along, double across) {
  const PangoRectangle r = logical_extents(layout);
  // A fraction of a pixel of slack: sizes measured and rounded up elsewhere must still fit.
  return r.width <= (along + 0.01) * PANGO_SCALE && r.height <= (across + 0.01) * PANGO_SCALE;
}

bool is_paragraph_break(const std::string& text, std::size_t at, std::size_t* length) {
  if (text[at] == '\n' || text[at] == '\r') {
    *length = text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    return true;
  }
  // U+2029 PARAGRAPH SEPARATOR
  if (text.compare(at, 3, "\xE2\x80\xA9") == 0) {
    *length = 3;
    return true;
  }
  return false;
}

bool has_paragraph_break(const std::string& text, std::size_t from) {
  std::size_t length = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (is_paragraph_break(text, i, &length)) return true;
  }
  return false;
}

// `text` with the paragraphs from byte `from` on joined into one, so pango ellipsises the line
// that starts there instead of silently dropping the paragraphs after it.
std::string join_paragraphs_from(const std::string& text, std::size_t from) {
  std::string out = text.substr(0, from);
  std::size_t length = 0;
  for (std::size_t i = from; i < text.size();) {
    if (is_paragraph_break(text, i, &length)) {
      out += ' ';
      i += length;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Byte index where the last line that fits into `across` starts (the first line at least).
std::size_t start_of_last_fitting_line(PangoLayout* layout, double across) {
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  std::size_t start = 0;
  do {
    PangoRectangle line;
    pango_layout_iter_get_line_extents(iter, nullptr, &line);
    const bool first = pango_layout_iter_get_index(iter) == 0;
    if (!first && line.y + line.height > (across + 0.01) * PANGO_SCALE) break;
    start = static_cast<std::size_t>(pango_layout_iter_get_line_readonly(iter)->start_index);
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
  return start;
}

// How many lines of the layout start inside a word (a break where only a character break is
// allowed).
int broken_words(PangoLayout* layout) {
  int count = 0;
  int attr_count = 0;
  const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(layout, &attr_count);
  const char* text = pango_layout_get_text(layout);
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  while (pango_layout_iter_next_line(iter)) {
    const PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
    if (line->is_paragraph_start) continue;
    const glong at = g_utf8_pointer_to_offset(text, text + line->start_index);
    if (at < attr_count && !attrs[at].is_line_break) ++count;
  }
  pango_layout_iter_free(iter);
  return count;
}

}  // namespace

std::string settable_text(const std::string& text) {
  // Invalid UTF-8 would make pango complain and drop the text; show replacement marks instead.
  gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
  std::string out;
  out.reserve(text.size());
  for (const gchar* p = valid; *p != '\0'; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F || c == 0xFFFE ||
        c == 0xFFFF) {
      continue;
    }
    out.append(p, static_cast<std::size_t>(g_utf8_next_char(p) - p));
  }
  g_free(valid);
  return out;
}

std::string text_for_layout(const std::string& text) {
  const std::string settable = settable_text(text);
  std::string out;
  out.reserve(std::min(settable.size(), 4 * MAX_SET_CHARACTERS));
  std::size_t characters = 0;
  std::size_t breaks = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < settable.size();) {
    if (characters == MAX_SET_CHARACTERS) {
      out += "\xE2\x80\xA6";  // an ellipsis
      break;
    }
    ++characters;
    if (is_paragraph_break(settable, i, &length)) {
      if (++breaks > MAX_SET_LINE_BREAKS) {
        out += ' ';
      } else {
        out.append(settable, i, length);
      }
      i += length;
      continue;
    }
    const auto next =
        static_cast<std::size_t>(g_utf8_next_char(settable.c_str() + i) - settable.c_str());
    out.append(settable, i, next - i);
    i = next;
  }
  return out;
}

PangoFontMap* thread_font_map() {
  // A configuration loaded at the program's start is in place before pango starts its own.
  wait_for_font_configuration();
  // Orvane's own map for the thread (a pango map serves one thread), at 72 dpi like every
  // context made from it: pango measures a font's line height on a context of the map's own,
  // which then asks for fonts at the texts' resolution. The thread's default map is left as the
  // program has it.
  struct OwnMap {
    PangoFontMap* map = pango_cairo_font_map_new();
    OwnMap() { pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72); }
    ~OwnMap() { g_object_unref(map); }
    OwnMap(const OwnMap&) = delete;
    OwnMap& operator=(const OwnMap&) = delete;
  };
  thread_local OwnMap own;
  return own.map;
}

PangoFontMap* loaded_font_map() {
  PangoFontMap* map = thread_font_map();
  // Asking for the configuration waits until pango's loading thread has it.
  if (PANGO_IS_FC_FONT_MAP(map)) pango_fc_font_map_get_config(PANGO_FC_FONT_MAP(map));
  return map;
}

namespace {

// Whether the configuration of the context's font map has a font of family `name`, in any
// style. Listing compares the names only (case and blanks aside), whatever script the font
// covers, and costs no match.
bool family_installed(PangoContext* context, const std::string& name) {
  FcConfig* config = nullptr;  // the current one
  PangoFontMap* map = pango_context_get_font_map(context);
  if (PANGO_IS_FC_FONT_MAP(map)) config = pango_fc_font_map_get_config(PANGO_FC_FONT_MAP(map));
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  bool found = false;
  if (pattern != nullptr && objects != nullptr &&
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()))) {
    if (FcFontSet* fonts = FcFontList(config, pattern, objects)) {
      found = fonts->nfont > 0;
      FcFontSetDestroy(fonts);
    }
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  return found;
}

}  // namespace

std::string font_instead_of(PangoContext* context, const TextStyle& style) {
  const std::vector<std::string> asked =
      family_names(style.font.empty() ? std::string(DEFAULT_FONT) : style.font);
  auto same = [](const std::string& a, std::string_view b) {
    return g_ascii_strcasecmp(a.c_str(), std::string(b).c_str()) == 0;
  };
  // A generic family is answered by any font; so are the families of symbols and formulas,
  // which a text's letters do not come from.
  for (const std::string& a : asked) {
    if (same(a, "emoji") || same(a, "math")) return {};
    for (const auto& [generic, css] : GENERIC_FAMILIES) {
      if (same(a, generic)) return {};
    }
  }
  if (asked.empty()) return {};
  // An installed family answers, though its script may lack the letter asked about below (a
  // font of Arabic or of symbols).
  for (const std::string& a : asked) {
    if (family_installed(context, a)) return {};
  }
  // The font pango sets a letter of the style in, found as a text's is (the same lookup, which
  // pango keeps, so asking again costs no new one).
  const LayoutPtr layout = new_layout(context, "A", style, base_size(style));
  const PangoLayoutLine* line = pango_layout_get_line_readonly(layout.get(), 0);
  if (line == nullptr || line->runs == nullptr) return {};
  const auto* run = static_cast<const PangoGlyphItem*>(line->runs->data);
  if (run->item->analysis.font == nullptr) return {};
  PangoFontDescription* used = pango_font_describe(run->item->analysis.font);
  const char* family = pango_font_description_get_family(used);
  std::string instead = family != nullptr ? family : "";
  pango_font_description_free(used);
  return instead;
}

void configure_context(PangoContext* context) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 72);
}

LayoutPtr measure_layout(PangoContext* context, const std::string& text, const TextStyle& style,
                         double width) {
  LayoutPtr layout = new_layout(context, text_for_layout(text), style, base_size(style));
  width = usable(width);
  if (width > 0 && style.wrap) {
    pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  }
  return layout;
}

LayoutPtr fitted_layout(PangoContext* context, const TextFit& fit, const TextStyle& style) {
  LayoutPtr layout = new_layout(context, fit.text, style, fit.font_size);
  PangoLayout* l = layout.get();
  if (fit.along <= 0) return layout;
  if (fit.one_line_each) {
    // With a width, an ellipsis and no height, pango sets every paragraph on one line.
    pango_layout_set_width(l, static_cast<int>(fit.along * PANGO_SCALE));
    pango_layout_set_ellipsize(l, PANGO_ELLIPSIZE_END);
    return layout;
  }
  if (!fit.wrap) return layout;
  pango_layout_set_width(l, static_cast<int>(fit.along * PANGO_SCALE));
  pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
  if (fit.cut && fit.across > 0) {
    pango_layout_set_ellipsize(l, PANGO_ELLIPSIZE_END);
    pango_layout_set_height(l, static_cast<int>(fit.across * PANGO_SCALE));
  }
  return layout;
}

TextFit fit_text(PangoContext* context, const std::string& text, const TextStyle& style,
                 double along, double across, LayoutPtr* layout_out) {
  // Hands the layout of the fit found to the caller, so it is not set a second time.
  auto done = [&](TextFit fit, LayoutPtr layout) {
    if (layout_out != nullptr) {
      *layout_out = layout ? std::move(layout) : fitted_layout(context, fit, style);
    }
    return fit;
  };
  TextFit fit;
  fit.text = text_for_layout(text);
  fit.along = usable(along);
  fit.across = usable(across);
  const double size = base_size(style);
  fit.font_size = size;
  fit.wrap = style.wrap;
  if (fit.along <= 0 || fit.across <= 0 || fit.text.empty())
    return done(fit, LayoutPtr(nullptr, &g_object_unref));

  const std::vector<double> sizes = sizes_down_to(size, floor_size(size));
  // The largest size that holds the text with whole words; failing that, the one that breaks
  // the fewest words between characters (those too wide even at the floor).
  std::optional<std::pair<int, double>> best;  // broken words, size
  LayoutPtr best_layout{nullptr, &g_object_unref};
  for (double s : sizes) {
    fit.font_size = s;
    LayoutPtr layout = fitted_layout(context, fit, style);
    if (!fits(layout.get(), fit.along, fit.across)) continue;
    const int broken = fit.wrap ? broken_words(layout.get()) : 0;
    if (broken == 0) return done(fit, std::move(layout));
    if (!best || broken < best->first) {
      best = {broken, s};
      best_layout = std::move(layout);
    }
  }
  if (best) {
    fit.font_size = best->second;
    return done(fit, std::move(best_layout));
  }

  // Cut at the floor: the lines that fit, the last one ellipsised.
  fit.wrap = true;
  fit.font_size = sizes.back();
  const std::size_t last =
      start_of_last_fitting_line(fitted_layout(context, fit, style).get(), fit.across);
  if (style.keep_lines && has_paragraph_break(fit.text, last)) {
    // Every line of the text stays, set once each, however small it must get.
    TextFit each = fit;
    each.one_line_each = true;
    for (double s : sizes_down_to(size, std::min(size, KEEP_LINES_MIN_SIZE))) {
      each.font_size = s;
      LayoutPtr layout = fitted_layout(context, each, style);
      if (fits(layout.get(), each.along, each.across)) return done(each, std::move(layout));
    }
  }
  fit.text = join_paragraphs_from(fit.text, last);
  fit.cut = true;
  return done(fit, LayoutPtr(nullptr, &g_object_unref));
}

Placement place(PangoLayout* layout, const TextStyle& style, double width, double height) {
  const PangoRectangle r = logical_extents(layout);
  const double lx = r.x / static_cast<double>(PANGO_SCALE);
  const double ly = r.y / static_cast<double>(PANGO_SCALE);
  const double lw = r.width / static_cast<double>(PANGO_SCALE);
  const double lh = r.height / static_cast<double>(PANGO_SCALE);
  Placement p;
  if (style.vertical_alignment == "top") {
    p.dy = -ly;
  } else if (style.vertical_alignment == "bottom") {
    p.dy = height - lh - ly;
  } else {
    p.dy = (height - lh) / 2 - ly;
  }
  // With no layout width pango aligns nothing; align the single block ourselves.
  if (pango_layout_get_width(layout) < 0) {
    if (style.alignment == "left") {
      p.dx = -lx;
    } else if (style.alignment == "right") {
      p.dx = width - lw - lx;
    } else {
      p.dx = (width - lw) / 2 - lx;
    }
  }
  p.logical = {p.dx + lx, p.dy + ly, lw, lh};
  return p;
}

std::vector<SetLine> set_lines(PangoLayout* layout) {
  const char* text = pango_layout_get_text(layout);
  std::vector<SetLine> lines;
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  do {
    PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
    PangoRectangle extents;
    pango_layout_iter_get_line_extents(iter, nullptr, &extents);
    SetLine set;
    set.x = extents.x / static_cast<double>(PANGO_SCALE);
    set.baseline = pango_layout_iter_get_baseline(iter) / static_cast<double>(PANGO_SCALE);
    // The runs in reading order; an ellipsis run stands for the characters it replaces.
    std::vector<const PangoItem*> items;
    for (GSList* run = line->runs; run != nullptr; run = run->next) {
      items.push_back(static_cast<PangoGlyphItem*>(run->data)->item);
    }
    std::sort(items.begin(), items.end(),
              [](const PangoItem* a, const PangoItem* b) { return a->offset < b->offset; });
    for (const PangoItem* item : items) {
      if ((item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) != 0) {
        set.text += "\xE2\x80\xA6";  // HORIZONTAL ELLIPSIS
      } else {
        set.text.append(text + item->offset, static_cast<std::size_t>(item->length));
      }
    }
    const bool last = !pango_layout_iter_next_line(iter);
    // A line break of the text reads as a space between the two lines.
    if (!last && pango_layout_iter_get_line_readonly(iter)->is_paragraph_start) set.text += ' ';
    lines.push_back(std::move(set));
    if (last) break;
  } while (true);
  pango_layout_iter_free(iter);
  return lines;
}

}  // namespace orvane
