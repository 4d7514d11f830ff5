#include "model/seeds.h"

#include "model/apply_chat_action.h"
#include "model/doc_writers.h"
#include "model/ids.h"

namespace chat {

using kivo::doc::ROOT;

Person default_local_person() { return Person{"u_me", "You", "YU", 0, Presence::Online, false}; }

bool is_seeded(const Document& doc) { return bool_or_false(doc, ROOT, key::seeded); }

bool seed_home(DocWrite w, const Person& local) {
  if (is_seeded(w.doc)) return false;
  put_bool(w, ROOT, key::seeded, true);
  write_user(w, local.id, local.name, local.initials, local.color_idx, local.presence);
  write_workspace(w, "ws_home", "My Workspace", "MW", 0, 0);
  write_category(w, "cat_home_text", "ws_home", "Channels", 0);
  write_category(w, "cat_home_voice", "ws_home", "Voice", 1);
  write_channel(w, "c_general", "ws_home", "cat_home_text", "general", "", ChannelKind::Text, 0);
  write_channel(w, "c_lounge", "ws_home", "cat_home_voice", "Lounge", "", ChannelKind::Voice, 0);
  return true;
}

namespace {

struct DemoMessage {
  const char* channel;
  const char* id;  // nullptr: a fresh id each run
  const char* author;
  int64_t offset;  // seconds after kDemoTime
  const char* parent;
  const char* text;
  std::vector<ReactionGroup> reactions;
};

std::vector<DemoMessage> demo_messages() {
  return {
      {"c_crit", "m_open", "u_lena", 0, nullptr,
       "Morning! Pushed the new call overlay mock — pulling tiles into a 2x2 grid reads way calmer than the old "
       "filmstrip.",
       {{"🎉", {"u_me", "u_owen"}}}},
      {"c_crit", "m_concept", "u_lena", 60, nullptr,
       "Here's the frame — the host tile keeps the live camera, everyone else collapses to chips when they're "
       "audio-only.",
       {{"❤️", {"u_me", "u_kira", "u_owen"}}, {"🔥", {"u_hugo"}}}},
      {"c_crit", "m_me1", "u_me", 300, nullptr,
       "Love it. One ask: can the 'follow the host' affordance live on the host tile itself instead of the controls "
       "bar?",
       {}},
      {"c_crit", "m_owen", "u_owen", 720, nullptr,
       "+1 — and we should read every colour from the OS theme so it matches whatever the cluster is themed to.",
       {{"👍", {"u_me", "u_lena"}}}},
      {"c_crit", "m_hugo", "u_hugo", 1560, nullptr, "Dropping the transport notes here so they don't get lost.", {}},
      {"c_crit", "m_clip", "u_kira", 1920, nullptr,
       "Screen recording of the tile-promotion motion — this is the feel I'm after:", {{"🔥", {"u_me", "u_lena"}}}},
      {"c_crit", "m_kira", "u_kira", 3300, nullptr,
       "Wired the screen-share stage — whoever presents gets a big featured tile and everyone else drops to the "
       "filmstrip beneath it. Reads really cleanly.",
       {{"🚀", {"u_me", "u_lena", "u_owen", "u_hugo"}}, {"👀", {"u_tess"}}}},
      {"c_crit", "m_me2", "u_me", 3480, nullptr,
       "That's the one. Starting a huddle to walk through the grid — jump in.", {}},
      {"c_crit", nullptr, "u_owen", 180, "m_concept", "Should the chips show a mic-level ring when someone's talking?",
       {}},
      {"c_crit", nullptr, "u_lena", 240, "m_concept",
       "Yeah — a thin accent ring that pulses. I'll spec the motion token.", {{"👍", {"u_me"}}}},
      {"c_crit", nullptr, "u_me", 360, "m_concept", "Perfect, that keeps the audio-only state legible.", {}},
      {"c_general", nullptr, "u_tess", -7440, nullptr,
       "Welcome to Acme Design on Kivo 👋 Channels relate to the workspace you're standing in — switch workspaces "
       "from the rail on the left.",
       {{"👋", {"u_me", "u_lena", "u_owen"}}}},
  };
}

}  // namespace

bool seed_demo(DocWrite w) {
  if (is_seeded(w.doc)) return false;
  put_bool(w, ROOT, key::seeded, true);

  write_user(w, "u_me", "You", "YU", 0, Presence::Online);
  write_user(w, "u_lena", "Lena Brook", "LB", 1, Presence::Online);
  write_user(w, "u_owen", "Owen Tate", "OT", 2, Presence::Idle);
  write_user(w, "u_kira", "Kira Moss", "KM", 3, Presence::Online);
  write_user(w, "u_hugo", "Hugo Lane", "HL", 5, Presence::Dnd);
  write_user(w, "u_tess", "Tess Dunn", "TD", 6, Presence::Offline);

  write_workspace(w, "ws_acme", "Acme Design", "AD", 0, 0);
  write_workspace(w, "ws_kivo", "Kivo Core", "KC", 1, 1);
  write_workspace(w, "ws_jam", "Weekend Jam", "WJ", 3, 2);

  write_category(w, "cat_acme_main", "ws_acme", "Channels", 0);
  write_category(w, "cat_acme_voice", "ws_acme", "Voice", 1);
  write_category(w, "cat_kivo_eng", "ws_kivo", "Engineering", 0);
  write_category(w, "cat_kivo_voice", "ws_kivo", "Voice", 1);
  write_category(w, "cat_jam_main", "ws_jam", "Hangout", 0);

  const auto T = ChannelKind::Text;
  const auto V = ChannelKind::Voice;
  write_channel(w, "c_general", "ws_acme", "cat_acme_main", "general", "Company-wide announcements", T, 0);
  write_channel(w, "c_crit", "ws_acme", "cat_acme_main", "design-crit", "Share work, get sharp feedback", T, 1);
  write_channel(w, "c_frontend", "ws_acme", "cat_acme_main", "frontend", "ui toolkit + app shells", T, 2);
  write_channel(w, "c_random", "ws_acme", "cat_acme_main", "random", "Off-topic & watercooler", T, 3);
  write_channel(w, "c_standup", "ws_acme", "cat_acme_voice", "Daily Standup", "", V, 0);
  write_channel(w, "c_huddle", "ws_acme", "cat_acme_voice", "Design Huddle", "", V, 1);
  write_channel(w, "c_kernel", "ws_kivo", "cat_kivo_eng", "kernel", "bootc + immutable base", T, 0);
  write_channel(w, "c_compositor", "ws_kivo", "cat_kivo_eng", "compositor", "2D clusters & sandboxing", T, 1);
  write_channel(w, "c_fssync", "ws_kivo", "cat_kivo_eng", "fs-sync", "swarm projection & hydration", T, 2);
  write_channel(w, "c_releases", "ws_kivo", "cat_kivo_eng", "releases", "ship logs", T, 3);
  write_channel(w, "c_warroom", "ws_kivo", "cat_kivo_voice", "War Room", "", V, 0);
  write_channel(w, "c_ideas", "ws_jam", "cat_jam_main", "ideas", "weekend hacks", T, 0);
  write_channel(w, "c_music", "ws_jam", "cat_jam_main", "music", "now playing", T, 1);

  struct Caller {
    const char* user;
    bool talking, muted, audio_only;
  };
  for (const Caller& c : {Caller{"u_lena", true, false, false}, Caller{"u_owen", false, true, false},
                          Caller{"u_kira", false, false, true}}) {
    apply_chat_action(w, action::JoinCall{"c_huddle", c.user});
    apply_chat_action(w, action::SetCallState{"c_huddle", c.user, c.talking, c.muted, false, c.audio_only});
  }

  for (const auto& d : demo_messages()) {
    Message m;
    m.id = d.id ? d.id : new_message_id();
    m.channel = d.channel;
    m.author = d.author;
    m.ts = kDemoTime + d.offset;
    m.text = d.text;
    if (d.parent) m.parent = d.parent;
    m.reactions = d.reactions;
    if (m.id == "m_concept") m.attachment = attachment::Image{"call-overlay-v3.png", "kivo-demo://call-grid", 640, 360};
    if (m.id == "m_hugo") m.attachment = attachment::File{"moq-over-swarm.md", "demo:moq-over-swarm", 18944};
    if (m.id == "m_clip")
      m.attachment = attachment::Video{"tile-promotion.webm", "demo:tile-promotion", 6815744, 1280, 720};
    if (m.id == "m_kira") {
      m.edited = true;
      m.history = {EditRecord{kDemoTime + 3180,
                              "Wired up screen-share — the presenter gets a featured tile, everyone else goes to a "
                              "filmstrip."}};
    }
    insert_message(w, d.channel, m);
  }
  return true;
}

}  // namespace chat
