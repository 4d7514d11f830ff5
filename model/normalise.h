// The one-time normalisation pass: demonstration attachments of older documents kept their address
// in "path"; it moves them to "blob". Bounded so that opening a large document stays cheap.
#pragma once

#include <cstddef>

#include "model/workspace_doc.h"

namespace chat {

inline constexpr size_t kNormaliseChannelKeys = 256;  // channel keys looked at
inline constexpr size_t kNormaliseMessages = 256;     // message elements visited, all channels together
inline constexpr size_t kNormaliseRewrites = 32;      // attachments rewritten per pass

size_t normalise_attachments(DocWrite w);  // answers how many attachments it rewrote

}  // namespace chat
