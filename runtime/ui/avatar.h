// Avatar: a person's round badge with initials (or a picture) and an optional presence dot.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/ui/canvas.h"

namespace kivo_ui {

struct Image;

struct Avatar {
  // Up to two letters: the first letters of the first and last words, upper-cased ("Ana Lima" -> "AL").
  static std::string initials_for_name(std::string_view name);

  // Draws a circle of radius at center in colour with the initials in white; a picture covers it
  // when given; a presence dot sits at the lower right, ringed in the ring colour.
  static void draw(Canvas& canvas, Point center, float radius, std::string_view initials, Color color,
                   std::optional<Color> presence = std::nullopt, const Image* picture = nullptr,
                   std::optional<Color> ring = std::nullopt);
};

}  // namespace kivo_ui
