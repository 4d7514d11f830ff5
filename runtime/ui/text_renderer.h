// TextRenderer: measures and draws text with Pango (HarfBuzz shaping, fontconfig fallback to the
// theme's colour-emoji font); shaped layouts are cached by text, size, weight and width.
// RichTextLayout: a shaped paragraph of coloured and highlighted runs wrapped to a width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/ui/color.h"
#include "runtime/ui/geometry.h"

typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;

namespace kivo_ui {

class Canvas;

// Weights: 0 light, 1 normal, 2 semibold, 3 bold.
inline constexpr int kWeightNormal = 1;

struct TextMetrics {
  float width = 0;   // widest line
  float height = 0;  // all lines
  int lines = 0;
  float baseline = 0;  // of the first line, from the top
};

// One styled stretch of a rich paragraph.
struct TextRun {
  std::string text;
  Color color;
  std::optional<Color> background;  // highlight behind the run
  int weight = kWeightNormal;
  bool underline = false;
};

struct TextCacheStats {
  uint64_t shaped = 0;  // layouts built (each one a shaping pass)
  uint64_t hits = 0;    // lookups answered from the cache
  size_t entries = 0;
};

class RichTextLayout;

class TextRenderer {
public:
  // The renderer of the UI thread; the theme's font families apply to it.
  static TextRenderer& shared();

  explicit TextRenderer(std::string families = "Inter,Noto Color Emoji", size_t capacity = 8192);
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  void set_font_families(const std::string& families);  // clears the cache when they change
  const std::string& font_families() const { return m_families; }
  static bool add_font_file(const std::string& path);    // makes a font file known to fontconfig

  float measure(std::string_view text, float size) { return measure_weighted(text, size, kWeightNormal); }
  float measure_weighted(std::string_view text, float size, int weight);  // single-line width
  TextMetrics metrics(std::string_view text, float size, int weight = kWeightNormal);
  // Wrapped at width (words, then characters); the height of all lines.
  TextMetrics measure_wrapped(std::string_view text, float size, float width, int weight = kWeightNormal);
  float line_height(float size, int weight = kWeightNormal);

  // Draws at the top-left of the first line box; with max_width the text ends in "…" when it overflows.
  void draw_text_weighted(Canvas& canvas, std::string_view text, Point at, float size, int weight, Color color,
                          std::optional<float> max_width = std::nullopt);
  void draw_wrapped(Canvas& canvas, std::string_view text, Point at, float size, float width, int weight, Color color);
  void draw_rich(Canvas& canvas, const RichTextLayout& layout, Point at);
  // The text as drawn in max_width: unchanged when it fits, else cut with a trailing "…".
  std::string truncate(std::string_view text, float size, int weight, float max_width);

  RichTextLayout shape_rich(const std::vector<TextRun>& runs, float size, float width);

  // A cached layout (owned by the cache; valid until the next call that may shape). width < 0: one
  // line; ellipsize: cut to width with "…" instead of wrapping.
  PangoLayout* layout(std::string_view text, float size, int weight, float width, bool ellipsize = false);

  TextCacheStats stats() const;
  void clear_cache();

private:
  struct Key {
    std::string text;
    float size;
    int weight;
    float width;
    int mode;  // 0 single line, 1 wrapped, 2 ellipsized, 3 rich (text holds the encoded runs)
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const;
  };
  struct Entry {
    PangoLayout* layout = nullptr;
    TextMetrics metrics;
    std::list<Key>::iterator lru;
  };

  Entry& lookup(Key key, const std::vector<TextRun>* runs);
  PangoLayout* build(const Key& key, const std::vector<TextRun>* runs);
  void evict_to(size_t count);

  std::string m_families;
  std::string m_layout_family;  // the first of m_families
  size_t m_capacity;
  PangoContext* m_context = nullptr;
  std::unordered_map<Key, Entry, KeyHash> m_entries;
  std::list<Key> m_lru;  // front = most recently used
  TextCacheStats m_stats;
};

class RichTextLayout {
public:
  RichTextLayout() = default;
  ~RichTextLayout();
  RichTextLayout(const RichTextLayout&);
  RichTextLayout& operator=(const RichTextLayout&);

  // Shapes runs at a pixel size wrapped to width through the shared renderer.
  static RichTextLayout shape(const std::vector<TextRun>& runs, float size, float width);

  float height() const { return m_metrics.height; }
  float width() const { return m_metrics.width; }
  int lines() const { return m_metrics.lines; }
  PangoLayout* pango() const { return m_layout; }

private:
  friend class TextRenderer;
  PangoLayout* m_layout = nullptr;  // own reference
  TextMetrics m_metrics;
};

// Draws a shaped rich layout at the top-left point (shared renderer).
void draw_rich(Canvas& canvas, const RichTextLayout& layout, Point at);

}  // namespace kivo_ui
