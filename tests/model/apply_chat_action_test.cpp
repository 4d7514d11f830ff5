#include <gtest/gtest.h>

#include "model/doc_writers.h"
#include "model/drafts.h"
#include "model/hydration.h"
#include "tests/model/doc_fixture.h"

namespace chat {
namespace {

using namespace action;
using kivo::doc::ROOT;
using testing::TestDoc;

const std::string kHash(64, 'a');

SendMessage send(std::string id, std::string text = "hi", std::optional<std::string> parent = std::nullopt) {
  return SendMessage{"c_a", std::move(id), "u_a", 10, std::move(text), std::move(parent), std::nullopt, {}, std::nullopt};
}
SendMessage with_attachment(Attachment a) {
  auto s = send("m_att");
  s.attachment = std::move(a);
  return s;
}

// Two text channels c_a and c_b, one message m_root in c_a with a reply m_reply.
TestDoc base() {
  TestDoc t;
  t.write([](DocWrite w) {
    write_channel(w, "c_a", "ws", "cat", "a", "", ChannelKind::Text, 0);
    write_channel(w, "c_b", "ws", "cat", "b", "", ChannelKind::Text, 1);
  });
  t.apply(send("m_root"));
  t.apply(send("m_reply", "re", "m_root"));
  return t;
}

struct SendCase {
  const char* name;
  SendMessage action;
  bool stored;
};

TEST(SendMessage, Preconditions) {
  auto in_b = send("m_root");
  in_b.channel = "c_b";
  auto no_channel = send("m_new");
  no_channel.channel = "c_missing";
  const SendCase cases[] = {
      {"plain", send("m_new"), true},
      {"channel missing", no_channel, false},
      {"id used in another channel", in_b, false},
      {"id with a space", send("m new"), false},
      {"id with a dot", send("m.new"), false},
      {"empty id", send(""), false},
      {"128-byte id", send(std::string(128, 'x')), true},
      {"129-byte id", send(std::string(129, 'x')), false},
      {"65536-byte text", send("m_big", std::string(65536, 't')), true},
      {"65537-byte text", send("m_big", std::string(65537, 't')), false},
      {"reply to a reply", send("m_new", "x", "m_reply"), false},
      {"reply to a top-level message", send("m_new", "x", "m_root"), true},
      {"reply to an unknown id", send("m_new", "x", "m_elsewhere"), true},
      {"image", with_attachment(attachment::Image{"a.png", kHash, 1, 16384}), true},
      {"image w 0", with_attachment(attachment::Image{"a.png", kHash, 0, 10}), false},
      {"image h 16385", with_attachment(attachment::Image{"a.png", kHash, 10, 16385}), false},
      {"file of 32 MiB", with_attachment(attachment::File{"a.bin", kHash, 33554432}), true},
      {"file of 32 MiB + 1", with_attachment(attachment::File{"a.bin", kHash, 33554433}), false},
      {"empty file", with_attachment(attachment::File{"a.bin", kHash, 0}), false},
      {"video without sides", with_attachment(attachment::Video{"a.webm", kHash, 5, 0, 0}), true},
      {"video w 16385", with_attachment(attachment::Video{"a.webm", kHash, 5, 16385, 0}), false},
      {"blob of 63 hex digits", with_attachment(attachment::File{"a", std::string(63, 'a'), 1}), false},
      {"demo blob", with_attachment(attachment::Image{"a", "kivo-demo://call-grid", 1, 1}), false},
      {"name with a tab", with_attachment(attachment::File{"a\tb", kHash, 1}), false},
      {"name of 256 bytes", with_attachment(attachment::File{std::string(256, 'n'), kHash, 1}), false},
  };
  for (const auto& c : cases) {
    TestDoc t = base();
    EXPECT_EQ(t.apply(c.action), c.stored) << c.name;
    bool found = find_message(t.doc, c.action.channel, c.action.id).has_value() &&
                 load_messages(t.doc, c.action.channel).back().text == c.action.text;
    EXPECT_EQ(found, c.stored) << c.name;
  }
}

TEST(SendMessage, StoresEverythingGivenAndNothingElse) {
  TestDoc t = base();
  SendMessage s = send("m_full", "hello @B", "m_root");
  s.ts = -7;
  s.attachment = attachment::Image{"a.png", kHash, 2, 3};
  s.mentions = {Mention{"u_b", 6, 2, true}};
  s.reference = kivo_actions::ResourceRef{"chat.channel", "c_b", "#b", std::nullopt};
  ASSERT_TRUE(t.apply(s));
  Message m = load_messages(t.doc, "c_a").back();
  EXPECT_EQ(m, (Message{"m_full", "c_a", "u_a", -7, "hello @B", "m_root", false, {}, {}, s.mentions, s.reference,
                        s.attachment, false, std::nullopt}));
}

TEST(SendMessage, DeletedIdCanBeSentAgainAndIndexSeesPeerMessages) {
  TestDoc t = base();
  ASSERT_TRUE(t.apply(DeleteMessage{"c_a", "m_root"}));
  EXPECT_TRUE(t.apply(send("m_root")));  // the index entry was stale

  // A message written behind the index's back (another peer) still counts as taken.
  kivo::doc::Document peer = t.doc.clone();
  peer.set_actor({7, 7, 7});
  {
    auto tx = peer.begin();
    insert_message(DocWrite{peer, tx}, "c_b", Message{.id = "m_peer", .text = "p"});
    tx.commit();
  }
  ASSERT_TRUE(t.doc.merge(peer).ok());
  auto s = send("m_peer");
  EXPECT_FALSE(t.apply(s));
}

TEST(EditMessage, KeepsHistoryOldestFirstAndIgnoresSameText) {
  TestDoc t = base();
  EXPECT_FALSE(t.apply(EditMessage{"c_a", "m_root", "hi", 20}));
  EXPECT_FALSE(load_messages(t.doc, "c_a")[0].edited);
  EXPECT_FALSE(t.apply(EditMessage{"c_b", "m_root", "other channel", 20}));
  EXPECT_TRUE(t.apply(EditMessage{"c_a", "m_root", "hi there", 20}));
  EXPECT_TRUE(t.apply(EditMessage{"c_a", "m_root", "bye", 30}));
  Message m = load_messages(t.doc, "c_a")[0];
  EXPECT_EQ(m.text, "bye");
  EXPECT_TRUE(m.edited);
  EXPECT_EQ(m.history, (std::vector<EditRecord>{{20, "hi"}, {30, "hi there"}}));
}

TEST(DeleteMessage, RemovesOnlyThatMessage) {
  TestDoc t = base();
  EXPECT_FALSE(t.apply(DeleteMessage{"c_a", "m_missing"}));
  EXPECT_TRUE(t.apply(DeleteMessage{"c_a", "m_root"}));
  auto messages = load_messages(t.doc, "c_a");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "m_reply");  // the orphaned reply stays
}

TEST(Reactions, AddOncePerPairAndRemoveOnlyWhatExists) {
  TestDoc t = base();
  EXPECT_TRUE(t.apply(AddReaction{"c_a", "m_root", "👍", "u_a"}));
  EXPECT_FALSE(t.apply(AddReaction{"c_a", "m_root", "👍", "u_a"}));
  EXPECT_TRUE(t.apply(AddReaction{"c_a", "m_root", "👍", "u_b"}));
  EXPECT_FALSE(t.apply(AddReaction{"c_a", "m_missing", "👍", "u_b"}));
  EXPECT_FALSE(t.apply(RemoveReaction{"c_a", "m_root", "🎉", "u_a"}));
  EXPECT_TRUE(t.apply(RemoveReaction{"c_a", "m_root", "👍", "u_a"}));
  EXPECT_EQ(load_messages(t.doc, "c_a")[0].reactions, (std::vector<ReactionGroup>{{"👍", {"u_b"}}}));
}

// Repeated state: the second identical action must leave the heads where they were.
TEST(WriteOnlyIfChanged, RepeatingAnActionCreatesNoChange) {
  const std::vector<ChatAction> repeated = {
      PinMessage{"c_a", "m_root", true},   ArchiveChannel{"c_a", true},
      MarkRead{"c_a", "u_a", 3},           SetCallState{"c_v", "u_a", true, true, false, true},
      SetScreenShare{"c_v", "u_a", true},  SetCallTicket{"c_v", "u_a", "ticket"},
      JoinCall{"c_v", "u_b"},              AddReaction{"c_a", "m_root", "🎉", "u_a"},
      EditMessage{"c_a", "m_root", "x", 1},
      DeleteMessage{"c_a", "m_reply"},
  };
  for (const auto& a : repeated) {
    TestDoc t = base();
    EXPECT_TRUE(t.apply(a)) << chat_action_name(a);
    EXPECT_FALSE(t.apply(a)) << chat_action_name(a);
  }
  // Values equal to the defaults need no write at all.
  for (const ChatAction& a : std::vector<ChatAction>{PinMessage{"c_a", "m_root", false}, ArchiveChannel{"c_a", false}}) {
    TestDoc t = base();
    EXPECT_FALSE(t.apply(a)) << chat_action_name(a);
  }
}

TEST(Channels, CreateNumbersAfterSiblingsAndVoiceGetsItsCallMap) {
  TestDoc t = base();
  t.apply(CreateChannel{"ws", "cat", "c_v", "voice", ChannelKind::Voice});
  t.apply(CreateChannel{"ws", "other", "c_o", "o", ChannelKind::Text});
  auto channels = list_channels(t.doc);
  auto find = [&](const std::string& id) {
    return *std::find_if(channels.begin(), channels.end(), [&](const Channel& c) { return c.id == id; });
  };
  EXPECT_EQ(find("c_v").order, 2u);
  EXPECT_EQ(find("c_o").order, 0u);
  EXPECT_TRUE(get_map(t.doc, *get_map(t.doc, ROOT, key::voice), "c_v").has_value());
}

TEST(Channels, ReorderSwapsWithNeighbourAndStopsAtTheEnds) {
  TestDoc t = base();
  EXPECT_FALSE(t.apply(ReorderChannel{"c_a", true}));
  EXPECT_FALSE(t.apply(ReorderChannel{"c_b", false}));
  EXPECT_FALSE(t.apply(ReorderChannel{"c_missing", false}));
  EXPECT_TRUE(t.apply(ReorderChannel{"c_a", false}));
  auto channels = list_channels(t.doc);
  EXPECT_EQ(channels[0].id, "c_b");
  EXPECT_EQ(channels[1].id, "c_a");
}

TEST(Channels, DeleteRemovesChannelMessagesCallAndMainDraft) {
  TestDoc t = base();
  t.write([](DocWrite w) {
    set_draft(w, "c_a", "draft");
    set_draft(w, "c_a:thread:m_root", "thread draft");
  });
  t.apply(JoinCall{"c_a", "u_a"});
  t.apply(MarkRead{"c_a", "u_a", 1});
  EXPECT_TRUE(t.apply(DeleteChannel{"c_a"}));
  EXPECT_EQ(list_channels(t.doc).size(), 1u);
  EXPECT_TRUE(load_messages(t.doc, "c_a").empty());
  EXPECT_TRUE(call_participants(t.doc, "c_a").empty());
  EXPECT_EQ(read_drafts(t.doc), (std::map<std::string, std::string>{{"c_a:thread:m_root", "thread draft"}}));
  EXPECT_EQ(read_count(t.doc, "c_a", "u_a"), 1);
  EXPECT_FALSE(t.apply(DeleteChannel{"c_a"}));
}

TEST(Categories, DeleteMovesChannelsAfterTheUncategorisedOnes) {
  TestDoc t;
  t.write([](DocWrite w) {
    write_category(w, "cat", "ws", "Cat", 0);
    write_channel(w, "c_1", "ws", "cat", "1", "", ChannelKind::Text, 0);
    write_channel(w, "c_2", "ws", "cat", "2", "", ChannelKind::Text, 1);
    write_channel(w, "c_x", "ws", "", "x", "", ChannelKind::Text, 0);
    write_channel(w, "c_y", "ws", "", "y", "", ChannelKind::Text, 3);
  });
  EXPECT_TRUE(t.apply(DeleteCategory{"cat"}));
  EXPECT_TRUE(list_categories(t.doc).empty());
  std::map<std::string, std::pair<std::string, uint32_t>> got;
  for (const auto& c : list_channels(t.doc)) got[c.id] = {c.category, c.order};
  EXPECT_EQ(got["c_1"], (std::pair<std::string, uint32_t>{"", 4}));
  EXPECT_EQ(got["c_2"], (std::pair<std::string, uint32_t>{"", 5}));
}

TEST(Categories, CreateRenameCollapse) {
  TestDoc t;
  t.apply(CreateCategory{"ws", "cat_1", "One"});
  t.apply(CreateCategory{"ws", "cat_2", "Two"});
  EXPECT_FALSE(t.apply(RenameCategory{"cat_missing", "x"}));
  EXPECT_FALSE(t.apply(SetCategoryCollapsed{"cat_missing", true}));
  t.apply(RenameCategory{"cat_2", "Deux"});
  t.apply(SetCategoryCollapsed{"cat_2", true});
  auto cats = list_categories(t.doc);
  EXPECT_EQ(cats[1], (Category{"cat_2", "ws", "Deux", 1, true}));
}

TEST(Calls, JoinKeepsStateAndRejoinResets) {
  TestDoc t;
  t.apply(JoinCall{"c_v", "u_a"});
  t.apply(SetCallState{"c_v", "u_a", false, true, false, false});
  t.apply(SetCallTicket{"c_v", "u_a", "tk"});
  t.apply(JoinCall{"c_v", "u_a"});
  EXPECT_TRUE(call_participants(t.doc, "c_v").at(0).muted);
  EXPECT_TRUE(t.apply(LeaveCall{"c_v", "u_a"}));
  EXPECT_FALSE(t.apply(LeaveCall{"c_v", "u_a"}));
  EXPECT_TRUE(call_participants(t.doc, "c_v").empty());
  t.apply(JoinCall{"c_v", "u_a"});
  EXPECT_EQ(call_participants(t.doc, "c_v").at(0), (CallParticipant{"u_a"}));
}

TEST(MarkRead, StoresTheCountEvenWhenItGoesDown) {
  TestDoc t;
  t.apply(MarkRead{"c_a", "u_a", 5});
  EXPECT_TRUE(t.apply(MarkRead{"c_a", "u_a", 2}));
  EXPECT_EQ(read_count(t.doc, "c_a", "u_a"), 2);
}

TEST(Concurrency, TwoPeersMergeToTheSameModel) {
  TestDoc a = base();
  TestDoc b;
  b.doc = a.doc.clone();
  b.doc.set_actor({0xb, 0xb});
  a.apply(send("m_from_a", "from a"));
  a.apply(AddReaction{"c_a", "m_root", "👍", "u_a"});
  a.apply(RenameChannel{"c_b", "bee"});
  b.apply(send("m_from_b", "from b"));
  b.apply(AddReaction{"c_a", "m_root", "👍", "u_b"});
  b.apply(JoinCall{"c_v", "u_b"});
  ASSERT_TRUE(a.doc.merge(b.doc).ok());
  ASSERT_TRUE(b.doc.merge(a.doc).ok());
  EXPECT_EQ(a.doc.heads(), b.doc.heads());
  for (const auto* t : {&a, &b}) {
    auto messages = load_messages(t->doc, "c_a");
    std::set<std::string> ids;
    for (const auto& m : messages) ids.insert(m.id);
    EXPECT_EQ(ids, (std::set<std::string>{"m_root", "m_reply", "m_from_a", "m_from_b"}));
    EXPECT_EQ(messages[0].reactions.at(0).users.size(), 2u);
  }
  EXPECT_EQ(load_messages(a.doc, "c_a"), load_messages(b.doc, "c_a"));
  EXPECT_EQ(list_channels(a.doc), list_channels(b.doc));
  EXPECT_EQ(call_participants(a.doc, "c_v"), call_participants(b.doc, "c_v"));
  EXPECT_EQ(list_channels(a.doc)[1].name, "bee");
}

}  // namespace
}  // namespace chat
