#include <gtest/gtest.h>

#include "model/doc_writers.h"
#include "model/drafts.h"
#include "model/hydration.h"
#include "model/normalise.h"
#include "tests/model/doc_fixture.h"

namespace chat {
namespace {

using kivo::doc::ObjType;
using kivo::doc::ROOT;
using kivo::doc::ScalarValue;
using testing::TestDoc;

// A message map written by hand, the way older or foreign writers may have stored it.
ObjId raw_message(DocWrite w, const std::string& channel) {
  ObjId list = ensure_list(w, ensure_map(w, ROOT, key::messages), channel);
  return w.tx.insert_object(list, w.doc.length(list), ObjType::Map).value();
}

TEST(Hydration, EmptyDocumentGivesEmptyLists) {
  TestDoc t;
  EXPECT_TRUE(list_workspaces(t.doc).empty());
  EXPECT_TRUE(list_channels(t.doc).empty());
  EXPECT_TRUE(list_people(t.doc).empty());
  EXPECT_TRUE(load_messages(t.doc, "c_x").empty());
  EXPECT_TRUE(call_participants(t.doc, "c_x").empty());
  EXPECT_EQ(read_count(t.doc, "c_x", "u_x"), 0);
  EXPECT_EQ(read_draft(t.doc, "c_x"), "");
}

TEST(Hydration, RecordsWithWrongKindsAreSkippedAndMissingValuesDefault) {
  TestDoc t;
  t.write([](DocWrite w) {
    write_channel(w, "c_a", "ws", "", "a", "", ChannelKind::Text, 1);
    ObjId channels = ensure_map(w, ROOT, key::channels);
    ASSERT_TRUE(w.tx.put(channels, "c_b", ScalarValue{int64_t{7}}).ok());  // not a map
    ObjId bare = ensure_map(w, channels, "c_c");                           // every field missing
    put_str(w, bare, "kind", "podcast");
    write_channel(w, "c_d", "ws", "", "d", "", ChannelKind::Voice, 1);
    ObjId users = ensure_map(w, ROOT, key::users);
    put_str(w, ensure_map(w, users, "u_x"), "status", "away");
  });
  auto channels = list_channels(t.doc);
  ASSERT_EQ(channels.size(), 3u);
  EXPECT_EQ(channels[0].id, "c_c");  // order 0
  EXPECT_EQ(channels[0].kind, ChannelKind::Text);
  EXPECT_EQ(channels[0].name, "");
  EXPECT_EQ(channels[1].id, "c_a");  // order ties fall in id order
  EXPECT_EQ(channels[2].id, "c_d");
  EXPECT_EQ(channels[2].kind, ChannelKind::Voice);
  auto people = list_people(t.doc);
  ASSERT_EQ(people.size(), 1u);
  EXPECT_EQ(people[0].presence, Presence::Online);
}

TEST(Hydration, MessageFieldsAndTheirDefaults) {
  TestDoc t;
  t.write([](DocWrite w) {
    ObjId m = raw_message(w, "c_a");  // no id, text as a plain str, parent ""
    put_str(w, m, "text", "plain");
    put_str(w, m, "parent", "");
    ObjId mentions = ensure_list(w, m, "mentions");
    ObjId x = w.tx.insert_object(mentions, 0, ObjType::Map).value();
    put_str(w, x, "user", "u_a");
    put_int(w, x, "start", -5);
    put_int(w, x, "len", 4);
    ObjId nobody = w.tx.insert_object(mentions, 1, ObjType::Map).value();
    put_int(w, nobody, "start", 1);
    ObjId reactions = ensure_list(w, m, "reactions");
    const char* pairs[][2] = {{"👍", "u1"}, {"👍", "u1"}, {"🎉", "u2"}, {"", "u3"}};
    for (size_t i = 0; i < 4; ++i) {
      ObjId r = w.tx.insert_object(reactions, i, ObjType::Map).value();
      put_str(w, r, "emoji", pairs[i][0]);
      put_str(w, r, "user", pairs[i][1]);
    }
    put_str(w, m, "reference", "{not json");
    ObjId list = ensure_list(w, ensure_map(w, ROOT, key::messages), "c_a");
    ASSERT_TRUE(w.tx.insert(list, 1, ScalarValue{std::string("not a map")}).ok());
  });
  auto messages = load_messages(t.doc, "c_a");
  ASSERT_EQ(messages.size(), 1u);
  const Message& m = messages[0];
  EXPECT_EQ(m.id, "");
  EXPECT_EQ(m.channel, "c_a");
  EXPECT_EQ(m.text, "plain");
  EXPECT_FALSE(m.parent.has_value());
  EXPECT_TRUE(m.is_top_level());
  ASSERT_EQ(m.mentions.size(), 1u);
  EXPECT_EQ(m.mentions[0], (Mention{"u_a", 0, 4, false}));
  ASSERT_EQ(m.reactions.size(), 2u);
  // One user each: the smaller emoji bytes first.
  EXPECT_EQ(m.reactions[0], (ReactionGroup{"🎉", {"u2"}}));
  EXPECT_EQ(m.reactions[1], (ReactionGroup{"👍", {"u1"}}));
  EXPECT_FALSE(m.reference.has_value());
  EXPECT_EQ(top_level_count(t.doc, "c_a"), 1u);
}

struct AttachmentCase {
  const char* kind;
  const char* blob;  // nullptr: not written
  const char* path;
  std::optional<Attachment> expected;
};

TEST(Hydration, AttachmentKindsAndBlobFallback) {
  const AttachmentCase cases[] = {
      {"audio", "x", nullptr, std::nullopt},
      {nullptr, "x", nullptr, std::nullopt},
      {"image", "", "kivo-demo://call-grid", attachment::Image{"n", "kivo-demo://call-grid", 4, 3}},
      {"image", "abc", "ignored", attachment::Image{"n", "abc", 4, 3}},
      {"video", "v", nullptr, attachment::Video{"n", "v", 9, 4, 3}},
      {"file", nullptr, nullptr, attachment::File{"n", "", 9}},
  };
  for (const auto& c : cases) {
    TestDoc t;
    t.write([&](DocWrite w) {
      ObjId m = raw_message(w, "c_a");
      ObjId a = ensure_map(w, m, "attachment");
      if (c.kind) put_str(w, a, "kind", c.kind);
      put_str(w, a, "name", "n");
      if (c.blob) put_str(w, a, "blob", c.blob);
      if (c.path) put_str(w, a, "path", c.path);
      put_int(w, a, "w", 4);
      put_int(w, a, "h", 3);
      put_int(w, a, "size", 9);
    });
    EXPECT_EQ(load_messages(t.doc, "c_a").at(0).attachment, c.expected) << (c.kind ? c.kind : "(none)");
  }
}

TEST(Hydration, ParticipantsTalkingFirstThenById) {
  TestDoc t;
  t.write([](DocWrite w) {
    ObjId call = ensure_map(w, ensure_map(w, ROOT, key::voice), "c_v");
    put_bool(w, ensure_map(w, call, "u_a"), "talking", false);
    put_bool(w, ensure_map(w, call, "u_b"), "talking", true);
    put_str(w, ensure_map(w, call, "u_c"), "ticket", "t");
    ASSERT_TRUE(w.tx.put(call, "u_d", ScalarValue{true}).ok());  // not a map: skipped
  });
  auto p = call_participants(t.doc, "c_v");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].user, "u_b");
  EXPECT_EQ(p[1].user, "u_a");
  EXPECT_EQ(p[2].user, "u_c");
  EXPECT_EQ(p[2].ticket, "t");
}

TEST(Hydration, UnreadCountsOnlyTopLevelAndNeverGoesNegative) {
  TestDoc t;
  t.write([](DocWrite w) {
    write_channel(w, "c_a", "ws", "", "a", "", ChannelKind::Text, 0);
    Message top{.id = "m_1", .text = "a"};
    Message reply{.id = "m_2", .text = "b", .parent = "m_1"};
    Message empty_parent{.id = "m_3", .text = "c", .parent = ""};
    insert_message(w, "c_a", top);
    insert_message(w, "c_a", reply);
    insert_message(w, "c_a", empty_parent);
  });
  EXPECT_EQ(unread_count(t.doc, "c_a", "u_me"), 2u);
  t.apply(action::MarkRead{"c_a", "u_me", 1});
  EXPECT_EQ(unread_count(t.doc, "c_a", "u_me"), 1u);
  t.apply(action::MarkRead{"c_a", "u_me", 9});
  EXPECT_EQ(unread_count(t.doc, "c_a", "u_me"), 0u);
}

TEST(Writers, InsertMessageRefusesAnIdUsedInAnyChannel) {
  TestDoc t;
  t.write([](DocWrite w) { EXPECT_TRUE(insert_message(w, "c_a", Message{.id = "m_1", .text = "a"})); });
  auto before = t.doc.heads();
  t.write([](DocWrite w) { EXPECT_FALSE(insert_message(w, "c_b", Message{.id = "m_1", .text = "b"})); });
  EXPECT_EQ(t.doc.heads(), before);
  EXPECT_TRUE(load_messages(t.doc, "c_b").empty());
}

TEST(Writers, InsertedMessageReadsBackWhole) {
  Message m;
  m.id = "m_full";
  m.channel = "c_a";
  m.author = "u_a";
  m.ts = -3;
  m.text = "héllo @Ann";
  m.parent = "m_root";
  m.edited = true;
  m.history = {{1, "one"}, {2, "two"}};
  m.reactions = {{"👍", {"u_a", "u_b"}}, {"🎉", {"u_c"}}};
  m.mentions = {{"u_ann", 7, 4, true}};
  m.reference = kivo_actions::ResourceRef{"chat.channel", "c_a", "#a", kivo_actions::ResourceSpan{1, 2}};
  m.attachment = attachment::Video{"v.webm", std::string(64, 'a'), 5, 6, 7};
  m.work = AgentWork{work_state::Done{"did"}, 5, AgentReasoning{AgentRoute::Floor, "why"},
                     {AgentStep{"s1", 1, "res", "label", step_outcome::Applied{}}}};
  TestDoc t;
  t.write([&](DocWrite w) { insert_message(w, "c_a", m); });
  EXPECT_EQ(load_messages(t.doc, "c_a").at(0), m);
}

TEST(Writers, RefreshLocalPersonWritesOnlyWhatDiffers) {
  TestDoc t;
  Person me{"u_me", "Me", "ME", 3, Presence::Dnd, false};
  t.write([&](DocWrite w) { EXPECT_TRUE(refresh_local_person(w, me)); });
  auto before = t.doc.heads();
  t.write([&](DocWrite w) { EXPECT_FALSE(refresh_local_person(w, me)); });
  EXPECT_EQ(t.doc.heads(), before);
  me.presence = Presence::Idle;
  t.write([&](DocWrite w) { EXPECT_TRUE(refresh_local_person(w, me)); });
  EXPECT_EQ(list_people(t.doc).at(0), me);
}

TEST(Drafts, SetReadAndClear) {
  TestDoc t;
  t.write([](DocWrite w) { set_draft(w, "c_a", "hello wörld"); });
  EXPECT_EQ(read_draft(t.doc, "c_a"), "hello wörld");
  t.write([](DocWrite w) { set_draft(w, "c_a", "hello world!"); });
  EXPECT_EQ(read_draft(t.doc, "c_a"), "hello world!");
  t.write([](DocWrite w) { clear_draft(w, "c_a"); });
  EXPECT_EQ(read_draft(t.doc, "c_a"), "");
  EXPECT_EQ(read_drafts(t.doc).at("c_a"), "");
}

TEST(Drafts, ConcurrentTypingMerges) {
  TestDoc a;
  a.write([](DocWrite w) { set_draft(w, "c_a", "hello"); });
  kivo::doc::Document b = a.doc.clone();
  b.set_actor({9, 9, 9, 9});
  a.write([](DocWrite w) { set_draft(w, "c_a", "hello there"); });
  {
    auto tx = b.begin();
    set_draft(DocWrite{b, tx}, "c_a", "oh hello");
    tx.commit();
  }
  ASSERT_TRUE(a.doc.merge(b).ok());
  EXPECT_EQ(read_draft(a.doc, "c_a"), "oh hello there");
}

TEST(Normalise, MovesDemoPathsToBlobOnceAndLeavesOthers) {
  TestDoc t;
  t.write([](DocWrite w) {
    for (const char* path : {"kivo-demo://call-grid", "/home/u/file.png"}) {
      ObjId a = ensure_map(w, raw_message(w, "c_a"), "attachment");
      put_str(w, a, "kind", "image");
      put_str(w, a, "path", path);
    }
  });
  size_t rewritten = 0;
  t.write([&](DocWrite w) { rewritten = normalise_attachments(w); });
  EXPECT_EQ(rewritten, 1u);
  auto messages = load_messages(t.doc, "c_a");
  EXPECT_EQ(attachment_blob(*messages[0].attachment), "kivo-demo://call-grid");
  EXPECT_EQ(attachment_blob(*messages[1].attachment), "/home/u/file.png");
  auto list = get_list(t.doc, *get_map(t.doc, ROOT, key::messages), "c_a");
  auto first = as_map(*t.doc.get(*list, size_t{0}));
  EXPECT_FALSE(t.doc.get(*get_map(t.doc, *first, "attachment"), "path").has_value());

  auto before = t.doc.heads();
  t.write([&](DocWrite w) { EXPECT_EQ(normalise_attachments(w), 0u); });
  EXPECT_EQ(t.doc.heads(), before);
}

TEST(Normalise, IsBounded) {
  TestDoc t;
  t.write([](DocWrite w) {
    for (int i = 0; i < 300; ++i) {
      ObjId a = ensure_map(w, raw_message(w, "c_a"), "attachment");
      put_str(w, a, "kind", "image");
      put_str(w, a, "path", "kivo-demo://x");
    }
  });
  size_t total = 0;
  for (size_t n = 1; n > 0;) {
    t.write([&](DocWrite w) { n = normalise_attachments(w); });
    total += n;
    EXPECT_LE(n, kNormaliseRewrites);
  }
  EXPECT_EQ(total, kNormaliseMessages);  // only the first 256 messages are ever looked at
}

}  // namespace
}  // namespace chat
