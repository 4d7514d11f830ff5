// The toolkit's input events: keys, text input, IME composition, pointer and wheel, window focus.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "runtime/ui/geometry.h"

namespace kivo_ui {

enum class Key {
  Unknown,
  Character,  // a letter, digit or symbol key; KeyEvent::character holds it (lower case)
  Enter,
  Escape,
  Tab,
  Backspace,
  Delete,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  PageUp,
  PageDown,
  Space,
  Insert,
  F1,
  F2,
  F10,
};

struct Modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool super = false;
  bool none() const { return !shift && !ctrl && !alt && !super; }
};

struct KeyEvent {
  Key key = Key::Unknown;
  char32_t character = 0;  // for Key::Character: the unshifted character ('a', '1', '/')
  Modifiers mods;
  bool pressed = true;
  bool repeat = false;
};

// Text the user typed or an input method committed (UTF-8).
struct TextInputEvent {
  std::string text;
};

// An input method's preedit text while it composes; empty text ends the composition.
struct CompositionEvent {
  std::string text;
  int cursor = 0;  // caret inside the preedit, in bytes
};

enum class PointerButton { Primary, Middle, Secondary };

struct PointerMoveEvent {
  Point pos;
  Modifiers mods;
};

struct PointerButtonEvent {
  Point pos;
  PointerButton button = PointerButton::Primary;
  bool pressed = true;
  int clicks = 1;  // 2 for a double click
  Modifiers mods;
};

struct WheelEvent {
  Point pos;
  float dx = 0, dy = 0;  // positive dy scrolls towards the top (content moves down)
  bool precise = false;  // pixel deltas (touchpads) rather than lines
};

struct PointerLeaveEvent {};

struct FocusEvent {
  bool focused = true;  // the window gained or lost the keyboard focus
};

using Event = std::variant<KeyEvent, TextInputEvent, CompositionEvent, PointerMoveEvent, PointerButtonEvent,
                           WheelEvent, PointerLeaveEvent, FocusEvent>;

// Key helpers for shortcuts.
inline bool is_ctrl_char(const KeyEvent& e, char32_t c) {
  return e.pressed && e.key == Key::Character && e.character == c && e.mods.ctrl && !e.mods.alt;
}

}  // namespace kivo_ui
