// Small shared rules of the views: display names, person and workspace colours, short labels.
#pragma once

#include <string>
#include <string_view>

#include "app/chat_state.h"
#include "runtime/ui/color.h"
#include "runtime/ui/theme.h"

namespace chat {

// "You" for the local person; else the presence name, the workspace person's name or
// "Someone (…)" with the last four characters of the id's tail.
std::string display_name(const ChatState& state, std::string_view id);
std::string short_id(std::string_view id);  // the tail after the last "@" or ":", cut to 4 characters

kivo_ui::Color color_for_index(const kivo_ui::Theme& theme, uint64_t color_idx);  // modulo 8
const Person* workspace_person(const ChatState& state, std::string_view id);  // among the workspace people

// The initials shown for a person: the avatar rule, "Y" when it gives nothing.
std::string initials_for(std::string_view name);

}  // namespace chat
