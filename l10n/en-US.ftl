# Chat — user-facing strings.

# Marker shown beside an agent in the "@" picker: the addressee is software rather than a person.
chat-mention-agent-tag = agent
chat-identity-available = Available
chat-identity-in-voice = In voice
chat-sidebar-add-category = ＋ Category
chat-call-mute = Mute
chat-call-unmute = Unmute
chat-call-deafen = Deafen
chat-call-undeafen = Undeafen
chat-call-audio-only = Audio only
chat-call-collapse = Collapse
chat-call-leave = Leave
