// Agent work in the document: the message map's "work" entry, read in its current and every older
// stored form, and written so that only what changed is rewritten.
#pragma once

#include <optional>

#include "model/agent_work.h"
#include "model/workspace_doc.h"

namespace chat {

std::optional<AgentWork> read_work(const Document& doc, ObjId message);

// Stores `next` over `current` (the work as read before, none when there was none).
void write_work(DocWrite w, ObjId message, const std::optional<AgentWork>& current, const AgentWork& next);

}  // namespace chat
