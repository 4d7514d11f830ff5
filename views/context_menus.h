// The four context menus (channel, category, message, workspace) and their items.
#pragma once

#include <string>

#include "app/chat_state.h"

namespace chat {

// Fills `menu` with the items of `kind`, in display order.
void fill_context_menu(kivo_ui::ContextMenu& menu, MenuKind kind);

}  // namespace chat
