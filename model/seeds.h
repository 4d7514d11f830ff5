// Seed content: the home workspace a new user starts in, and the fixed demonstration workspace used
// for screenshots and other non-interactive runs. Each runs only on a document not yet seeded.
#pragma once

#include "model/chat_records.h"
#include "model/workspace_doc.h"

namespace chat {

inline constexpr int64_t kDemoTime = 1782471840;  // 2026-06-26 11:04:00 UTC, the demonstration's "now"

Person default_local_person();  // "u_me", "You", "YU", colour 0, online

bool is_seeded(const Document& doc);
// Both answer whether they seeded (false when the document already carried "seeded").
bool seed_home(DocWrite w, const Person& local);
bool seed_demo(DocWrite w);

}  // namespace chat
