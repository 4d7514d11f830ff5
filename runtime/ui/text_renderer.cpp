#include "runtime/ui/text_renderer.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "runtime/ui/canvas.h"
#include "runtime/ui/utf8.h"

namespace kivo_ui {

namespace {

PangoWeight pango_weight(int weight) {
  switch (weight) {
    case 0: return PANGO_WEIGHT_LIGHT;
    case 2: return PANGO_WEIGHT_SEMIBOLD;
    case 3: return PANGO_WEIGHT_BOLD;
    default: return weight >= 4 ? PANGO_WEIGHT_HEAVY : PANGO_WEIGHT_NORMAL;
  }
}

guint16 channel16(float v) { return guint16(std::lround(std::clamp(v, 0.f, 1.f) * 65535)); }

TextMetrics metrics_of(PangoLayout* layout) {
  TextMetrics m;
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  m.width = float(logical.width) / PANGO_SCALE;
  m.height = float(logical.height) / PANGO_SCALE;
  m.lines = pango_layout_get_line_count(layout);
  m.baseline = float(pango_layout_get_baseline(layout)) / PANGO_SCALE;
  return m;
}

// Cairo draws Pango layouts in the source colour; runs carry their own colour attributes.
void show_layout(cairo_t* cr, PangoLayout* layout, Point at, const Color* color) {
  cairo_save(cr);
  if (color) cairo_set_source_rgba(cr, color->r, color->g, color->b, color->a);
  cairo_move_to(cr, at.x, at.y);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
}

}  // namespace

// The first family of the list is the layout's font; the others are installed as fontconfig
// fallbacks right after it. (Naming the emoji font in Pango's own family list would make Pango
// draw digits and spaces next to emoji with the emoji font's wide glyphs.)
static std::string install_fallbacks(const std::string& families) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= families.size()) {
    size_t comma = families.find(',', start);
    std::string name = families.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!name.empty()) names.push_back(name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (names.empty()) return "sans-serif";
  if (names.size() > 1) {
    std::string xml = "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
                      "<alias binding=\"strong\"><family>" + names[0] + "</family><accept>";
    for (size_t i = 1; i < names.size(); ++i) xml += "<family>" + names[i] + "</family>";
    xml += "</accept></alias></fontconfig>";
    static std::vector<std::string> installed;
    if (std::find(installed.begin(), installed.end(), xml) == installed.end()) {
      installed.push_back(xml);
      FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(xml.c_str()), FcTrue);
      PangoFontMap* map = pango_cairo_font_map_get_default();
      if (PANGO_IS_FC_FONT_MAP(map)) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(map));
    }
  }
  return names[0];
}

TextRenderer& TextRenderer::shared() {
  static TextRenderer renderer;
  return renderer;
}

TextRenderer::TextRenderer(std::string families, size_t capacity)
    : m_families(std::move(families)), m_capacity(std::max<size_t>(capacity, 16)) {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  m_context = pango_font_map_create_context(map);
  // No hinting: glyph advances are the same at every scale, so a layout measured once draws
  // identically in a window, at 2× and in a screenshot.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(m_context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(m_context, 96);
  pango_context_set_round_glyph_positions(m_context, FALSE);
  m_layout_family = install_fallbacks(m_families);
}

TextRenderer::~TextRenderer() {
  clear_cache();
  if (m_context) g_object_unref(m_context);
}

bool TextRenderer::add_font_file(const std::string& path) {
  bool ok = FcConfigAppFontAddFile(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(path.c_str()));
  PangoFontMap* map = pango_cairo_font_map_get_default();
  if (ok && PANGO_IS_FC_FONT_MAP(map)) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(map));
  return ok;
}

void TextRenderer::set_font_families(const std::string& families) {
  if (families == m_families) return;
  m_families = families;
  m_layout_family = install_fallbacks(families);
  clear_cache();
}

size_t TextRenderer::KeyHash::operator()(const Key& k) const {
  size_t h = std::hash<std::string>()(k.text);
  auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
  mix(std::hash<float>()(k.size));
  mix(std::hash<int>()(k.weight));
  mix(std::hash<float>()(k.width));
  mix(std::hash<int>()(k.mode));
  return h;
}

PangoLayout* TextRenderer::build(const Key& key, const std::vector<TextRun>* runs) {
  PangoLayout* layout = pango_layout_new(m_context);
  PangoFontDescription* desc = pango_font_description_from_string(m_layout_family.c_str());
  pango_font_description_set_absolute_size(desc, double(key.size) * PANGO_SCALE);
  pango_font_description_set_weight(desc, pango_weight(key.weight));
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);

  if (key.mode == 1 || key.mode == 3) {
    pango_layout_set_width(layout, int(std::max(1.f, key.width) * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else if (key.mode == 2) {
    pango_layout_set_width(layout, int(std::max(1.f, key.width) * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_single_paragraph_mode(layout, TRUE);
  } else {
    pango_layout_set_single_paragraph_mode(layout, TRUE);
  }

  if (runs) {
    std::string text;
    PangoAttrList* attrs = pango_attr_list_new();
    for (const TextRun& run : *runs) {
      guint start = guint(text.size());
      text += run.text;
      guint end = guint(text.size());
      if (start == end) continue;
      auto add = [&](PangoAttribute* a) {
        a->start_index = start;
        a->end_index = end;
        pango_attr_list_insert(attrs, a);
      };
      add(pango_attr_foreground_new(channel16(run.color.r), channel16(run.color.g), channel16(run.color.b)));
      add(pango_attr_foreground_alpha_new(std::max<guint16>(1, channel16(run.color.a))));
      if (run.background) {
        add(pango_attr_background_new(channel16(run.background->r), channel16(run.background->g),
                                      channel16(run.background->b)));
        add(pango_attr_background_alpha_new(std::max<guint16>(1, channel16(run.background->a))));
      }
      if (run.weight != kWeightNormal) add(pango_attr_weight_new(pango_weight(run.weight)));
      if (run.underline) add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
    pango_layout_set_text(layout, text.data(), int(text.size()));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  } else {
    pango_layout_set_text(layout, key.text.data(), int(key.text.size()));
  }
  ++m_stats.shaped;
  return layout;
}

TextRenderer::Entry& TextRenderer::lookup(Key key, const std::vector<TextRun>* runs) {
  auto it = m_entries.find(key);
  if (it != m_entries.end()) {
    ++m_stats.hits;
    m_lru.splice(m_lru.begin(), m_lru, it->second.lru);
    return it->second;
  }
  evict_to(m_capacity - 1);
  PangoLayout* layout = build(key, runs);
  m_lru.push_front(key);
  Entry entry{layout, metrics_of(layout), m_lru.begin()};
  return m_entries.emplace(std::move(key), entry).first->second;
}

void TextRenderer::evict_to(size_t count) {
  while (m_entries.size() > count && !m_lru.empty()) {
    auto it = m_entries.find(m_lru.back());
    if (it != m_entries.end()) {
      g_object_unref(it->second.layout);
      m_entries.erase(it);
    }
    m_lru.pop_back();
  }
}

void TextRenderer::clear_cache() {
  evict_to(0);
  m_entries.clear();
  m_lru.clear();
}

TextCacheStats TextRenderer::stats() const {
  TextCacheStats s = m_stats;
  s.entries = m_entries.size();
  return s;
}

PangoLayout* TextRenderer::layout(std::string_view text, float size, int weight, float width, bool ellipsize) {
  int mode = width < 0 ? 0 : (ellipsize ? 2 : 1);
  return lookup(Key{std::string(text), size, weight, mode == 0 ? -1.f : width, mode}, nullptr).layout;
}

float TextRenderer::measure_weighted(std::string_view text, float size, int weight) {
  if (text.empty()) return 0;
  return lookup(Key{std::string(text), size, weight, -1.f, 0}, nullptr).metrics.width;
}

TextMetrics TextRenderer::metrics(std::string_view text, float size, int weight) {
  return lookup(Key{std::string(text), size, weight, -1.f, 0}, nullptr).metrics;
}

TextMetrics TextRenderer::measure_wrapped(std::string_view text, float size, float width, int weight) {
  return lookup(Key{std::string(text), size, weight, width, 1}, nullptr).metrics;
}

float TextRenderer::line_height(float size, int weight) {
  // The line box of a text that uses both the UI font and the emoji font.
  return lookup(Key{"Ag", size, weight, -1.f, 0}, nullptr).metrics.height;
}

void TextRenderer::draw_text_weighted(Canvas& canvas, std::string_view text, Point at, float size, int weight,
                                      Color color, std::optional<float> max_width) {
  if (text.empty()) return;
  PangoLayout* l;
  if (max_width) {
    if (*max_width <= 0) return;
    Entry& plain = lookup(Key{std::string(text), size, weight, -1.f, 0}, nullptr);
    l = plain.metrics.width <= *max_width ? plain.layout : layout(text, size, weight, *max_width, true);
  } else {
    l = layout(text, size, weight, -1.f);
  }
  show_layout(canvas.cairo(), l, at, &color);
}

void TextRenderer::draw_wrapped(Canvas& canvas, std::string_view text, Point at, float size, float width, int weight,
                                Color color) {
  if (text.empty()) return;
  show_layout(canvas.cairo(), layout(text, size, weight, width), at, &color);
}

std::string TextRenderer::truncate(std::string_view text, float size, int weight, float max_width) {
  if (measure_weighted(text, size, weight) <= max_width) return std::string(text);
  // The longest prefix (whole characters) that fits together with the ellipsis.
  std::vector<size_t> stops{0};
  for (size_t i = 0; i < text.size();) stops.push_back(i = utf8::next_char(text, i));
  size_t lo = 0, hi = stops.size() - 1;
  while (lo < hi) {
    size_t mid = (lo + hi + 1) / 2;
    std::string candidate = std::string(text.substr(0, stops[mid])) + "…";
    if (measure_weighted(candidate, size, weight) <= max_width)
      lo = mid;
    else
      hi = mid - 1;
  }
  std::string out(text.substr(0, stops[lo]));
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out + "…";
}

static std::string encode_runs(const std::vector<TextRun>& runs) {
  std::string key;
  for (const TextRun& r : runs) {
    key += std::to_string(r.text.size());
    key += ':';
    key += r.text;
    char buf[96];
    std::snprintf(buf, sizeof buf, "|%.4f,%.4f,%.4f,%.4f|%d|%d|", r.color.r, r.color.g, r.color.b, r.color.a, r.weight,
                  r.underline ? 1 : 0);
    key += buf;
    if (r.background) {
      std::snprintf(buf, sizeof buf, "%.4f,%.4f,%.4f,%.4f", r.background->r, r.background->g, r.background->b,
                    r.background->a);
      key += buf;
    }
    key += ';';
  }
  return key;
}

RichTextLayout TextRenderer::shape_rich(const std::vector<TextRun>& runs, float size, float width) {
  Entry& e = lookup(Key{encode_runs(runs), size, kWeightNormal, std::max(1.f, width), 3}, &runs);
  RichTextLayout out;
  out.m_layout = PANGO_LAYOUT(g_object_ref(e.layout));
  out.m_metrics = e.metrics;
  bool empty = true;
  for (const auto& r : runs) empty = empty && r.text.empty();
  if (empty) out.m_metrics = TextMetrics{};
  return out;
}

void TextRenderer::draw_rich(Canvas& canvas, const RichTextLayout& layout, Point at) {
  if (!layout.m_layout || layout.m_metrics.lines == 0) return;
  show_layout(canvas.cairo(), layout.m_layout, at, nullptr);
}

RichTextLayout::~RichTextLayout() {
  if (m_layout) g_object_unref(m_layout);
}

RichTextLayout::RichTextLayout(const RichTextLayout& o) : m_layout(o.m_layout), m_metrics(o.m_metrics) {
  if (m_layout) g_object_ref(m_layout);
}

RichTextLayout& RichTextLayout::operator=(const RichTextLayout& o) {
  if (this != &o) {
    if (o.m_layout) g_object_ref(o.m_layout);
    if (m_layout) g_object_unref(m_layout);
    m_layout = o.m_layout;
    m_metrics = o.m_metrics;
  }
  return *this;
}

RichTextLayout RichTextLayout::shape(const std::vector<TextRun>& runs, float size, float width) {
  return TextRenderer::shared().shape_rich(runs, size, width);
}

void draw_rich(Canvas& canvas, const RichTextLayout& layout, Point at) { TextRenderer::shared().draw_rich(canvas, layout, at); }

}  // namespace kivo_ui
