// apply_chat_action: the one writer of the workspace document after seeding. Deterministic: the
// result depends only on the action and the current document. A failed precondition writes nothing.
#pragma once

#include "model/chat_action.h"
#include "model/workspace_doc.h"

namespace chat {

class MessageIndex;

inline constexpr size_t kMaxMessageBytes = 65536;
inline constexpr uint64_t kMaxAttachmentBytes = 33554432;  // 32 MiB
inline constexpr uint32_t kMaxAttachmentSide = 16384;      // pixels

// Applies `action` through `w`; answers whether it wrote anything. `index` (optional) speeds up the
// duplicate-id check of SendMessage; it must belong to this document.
bool apply_chat_action(DocWrite w, const ChatAction& action, MessageIndex* index = nullptr);

// Whether SendMessage's attachment passes the checks (name, content hash, sizes).
bool is_acceptable_attachment(const Attachment& attachment);

}  // namespace chat
