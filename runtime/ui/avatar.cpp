#include "runtime/ui/avatar.h"

#include <algorithm>
#include <vector>

#include "runtime/ui/image_store.h"
#include "runtime/ui/utf8.h"

namespace kivo_ui {

static std::string upper_first(std::string_view word) {
  size_t end = utf8::next_char(word, 0);
  std::string out(word.substr(0, end));
  if (out.size() == 1 && out[0] >= 'a' && out[0] <= 'z') out[0] = char(out[0] - 'a' + 'A');
  return out;
}

std::string Avatar::initials_for_name(std::string_view name) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < name.size()) {
    while (i < name.size() && (name[i] == ' ' || name[i] == '\t' || name[i] == '-' || name[i] == '_' || name[i] == '.'))
      ++i;
    size_t start = i;
    while (i < name.size() && !(name[i] == ' ' || name[i] == '\t' || name[i] == '-' || name[i] == '_' || name[i] == '.'))
      ++i;
    if (i > start) words.push_back(name.substr(start, i - start));
  }
  if (words.empty()) return "?";
  if (words.size() == 1) return upper_first(words[0]);
  return upper_first(words.front()) + upper_first(words.back());
}

void Avatar::draw(Canvas& canvas, Point c, float radius, std::string_view initials, Color color,
                  std::optional<Color> presence, const Image* picture, std::optional<Color> ring) {
  canvas.fill_circle(c, radius, color);
  Rect box{c.x - radius, c.y - radius, radius * 2, radius * 2};
  if (picture) {
    image_store::paint_image_cover(canvas, *picture, box, radius);
  } else if (!initials.empty()) {
    float size = std::max(6.f, radius * 0.82f);
    canvas.text_centered(initials, box, size, canvas.theme().on_surface(color), 2);
  }
  if (presence) {
    float r = std::max(2.5f, radius * 0.3f);
    Point dot{c.x + radius * 0.72f, c.y + radius * 0.72f};
    canvas.fill_circle(dot, r + std::max(1.5f, radius * 0.1f), ring.value_or(canvas.theme().panel_bg));
    canvas.fill_circle(dot, r, *presence);
  }
}

}  // namespace kivo_ui
