// CallSession: the local person's call, one per application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace chat {

struct CallSession {
  bool in_call = false;
  std::string channel;                       // the call's voice channel, while in_call
  bool expanded = false;                     // the call view covers the window
  bool participants_open = false;            // the call view's participant list is open
  bool muted = false;
  bool deafened = false;
  bool audio_only = false;
  bool sharing = false;                      // the local screen is shared
  std::optional<std::string> pending_leave;  // a leave to honour on the next frame step
  uint64_t media_sequence = 0;               // next outgoing media packet; 0 outside a call
  std::optional<std::string> call_status;    // status text of the call view
};

}  // namespace chat
