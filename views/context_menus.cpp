#include "views/context_menus.h"

namespace chat {

void fill_context_menu(kivo_ui::ContextMenu& menu, MenuKind kind) {
  switch (kind) {
    case MenuKind::Channel:
      menu.push(kMenuDelete, "Delete", true);
      menu.push(kMenuArchive, "Archive / unarchive");
      menu.push(kMenuRename, "Rename");
      menu.push(kMenuMoveUp, "Move up");
      menu.push(kMenuMoveDown, "Move down");
      break;
    case MenuKind::Category:
      menu.push(kMenuNewTextChannel, "New text channel");
      menu.push(kMenuNewVoiceChannel, "New voice channel");
      menu.push(kMenuRename, "Rename");
      menu.push(kMenuCollapseExpand, "Collapse / expand");
      menu.push(kMenuDelete, "Delete", true);
      break;
    case MenuKind::Message:
      menu.push(kMenuEditMessage, "Edit message");
      menu.push(kMenuPin, "Pin / unpin");
      menu.push(kMenuDeleteMessage, "Delete message", true);
      break;
    case MenuKind::Workspace: menu.push(kMenuNewCategory, "New category"); break;
  }
}

}  // namespace chat
