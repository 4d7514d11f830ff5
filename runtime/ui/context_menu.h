// ContextMenu: a popup list of items opened at a point (clamped into the window), driven by
// pointer, keyboard (Up, Down, Home, End, Enter, Space, Escape) and semantic actions.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/ui/canvas.h"
#include "runtime/ui/event.h"
#include "runtime/ui/semantic_action.h"

namespace kivo_ui {

struct MenuItem {
  int code = 0;  // the application's item code
  std::string label;
  bool destructive = false;  // drawn in the alert colour
  bool enabled = true;
};

// What an event did to the menu.
struct MenuResponse {
  bool consumed = false;
  std::optional<int> chosen;  // code of the item chosen
  bool stays_open = true;     // false: the owner closes (drops) the menu
};

class ContextMenu {
public:
  ContextMenu() = default;

  void push(int code, std::string label, bool destructive = false, bool enabled = true);
  void clear() { m_items.clear(); }
  // Opens with its top-left at the point, moved so the whole menu stays inside bounds.
  void open_at_clamped(Point at, Rect bounds);
  void close() { m_open = false; }
  bool is_open() const { return m_open; }

  MenuResponse handle_event(const Event& event);
  MenuResponse perform_semantic_action(const SemanticAction& action);
  void draw(Canvas& canvas) const;

  const std::vector<MenuItem>& items() const { return m_items; }
  std::optional<size_t> highlighted() const { return m_highlight; }
  Rect rect() const { return m_rect; }
  Rect item_rect(size_t index) const;

  static constexpr float kItemHeight = 32, kPadding = 6, kMinWidth = 180, kTextSize = 13.5f;

private:
  void move_highlight(int step);
  std::optional<size_t> item_at(Point p) const;

  std::vector<MenuItem> m_items;
  Rect m_rect;
  bool m_open = false;
  std::optional<size_t> m_highlight;
};

}  // namespace kivo_ui
