// SemanticAction: what assistive technology and automation ask a control to do.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kivo_ui {

enum class SemanticKind {
  Activate,          // press / default action
  Focus,
  Dismiss,           // close a popup or menu
  SetValue,          // replace the whole text (value)
  ReplaceSelection,  // type value over the selection
  SetSelection,      // select bytes [start, end) of the text
  SelectAll,
  Copy,
  Cut,
  Paste,
  Undo,
  Redo,
  Next,      // next item (menus, lists)
  Previous,  // previous item
  ScrollIntoView,
};

struct SemanticAction {
  SemanticKind kind = SemanticKind::Activate;
  std::string target;  // control identifier, or empty for the widget itself
  std::string value;   // text argument
  size_t start = 0, end = 0;
  std::optional<size_t> index;  // item index for menus
};

}  // namespace kivo_ui
