// The embedded en-US catalog of the application's user-facing strings (Fluent syntax).
#pragma once

#include <string_view>

namespace chat::l10n {

inline constexpr std::string_view kLanguage = "en-US";
std::string_view en_us_source();  // the catalog text, as embedded at build time

}  // namespace chat::l10n
