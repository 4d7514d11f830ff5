#include <gtest/gtest.h>

#include "model/hydration.h"
#include "model/seeds.h"
#include "tests/model/doc_fixture.h"

namespace chat {
namespace {

using testing::TestDoc;

TestDoc demo() {
  TestDoc t;
  t.write([](DocWrite w) { EXPECT_TRUE(seed_demo(w)); });
  return t;
}

TEST(Seeds, EachRunsOnlyOnAnUnseededDocument) {
  TestDoc t = demo();
  auto before = t.doc.heads();
  t.write([](DocWrite w) {
    EXPECT_FALSE(seed_demo(w));
    EXPECT_FALSE(seed_home(w, default_local_person()));
  });
  EXPECT_EQ(t.doc.heads(), before);
}

TEST(Seeds, DemoWorkspacesChannelsAndPeople) {
  TestDoc t = demo();
  std::vector<std::string> names;
  for (const auto& w : list_workspaces(t.doc)) names.push_back(w.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Acme Design", "Kivo Core", "Weekend Jam"}));
  std::vector<std::string> acme_main;
  auto channels = list_channels(t.doc);
  EXPECT_EQ(channels.size(), 13u);
  for (const auto& c : channels)
    if (c.category == "cat_acme_main") acme_main.push_back(c.name);
  EXPECT_EQ(acme_main, (std::vector<std::string>{"general", "design-crit", "frontend", "random"}));
  EXPECT_EQ(list_categories(t.doc).size(), 5u);
  auto people = list_people(t.doc);
  ASSERT_EQ(people.size(), 6u);
  EXPECT_EQ(people[0], (Person{"u_hugo", "Hugo Lane", "HL", 5, Presence::Dnd, false}));
  for (const auto& voice : {"c_standup", "c_huddle", "c_warroom"})
    EXPECT_EQ(std::find(voice_channels(t.doc).begin(), voice_channels(t.doc).end(), voice) == voice_channels(t.doc).end(),
              false)
        << voice;
}

TEST(Seeds, DemoCallAndDiscussion) {
  TestDoc t = demo();
  auto huddle = call_participants(t.doc, "c_huddle");
  ASSERT_EQ(huddle.size(), 3u);
  EXPECT_EQ(huddle[0], (CallParticipant{"u_lena", "", true, false, false, false, false}));
  EXPECT_EQ(huddle[1], (CallParticipant{"u_kira", "", false, false, false, true, false}));
  EXPECT_EQ(huddle[2], (CallParticipant{"u_owen", "", false, true, false, false, false}));

  auto crit = load_messages(t.doc, "c_crit");
  ASSERT_EQ(crit.size(), 11u);
  size_t replies = 0;
  for (const auto& m : crit)
    if (m.parent) {
      ++replies;
      EXPECT_EQ(*m.parent, "m_concept");
    }
  EXPECT_EQ(replies, 3u);
  EXPECT_EQ(unread_count(t.doc, "c_crit", "u_me"), 8u);
  EXPECT_EQ(load_messages(t.doc, "c_general").size(), 1u);
  EXPECT_EQ(load_messages(t.doc, "c_general")[0].ts, kDemoTime - 7440);

  auto by_id = [&](const std::string& id) {
    return *std::find_if(crit.begin(), crit.end(), [&](const Message& m) { return m.id == id; });
  };
  EXPECT_EQ(by_id("m_concept").reactions,
            (std::vector<ReactionGroup>{{"❤️", {"u_me", "u_kira", "u_owen"}}, {"🔥", {"u_hugo"}}}));
  EXPECT_EQ(by_id("m_kira").reactions,
            (std::vector<ReactionGroup>{{"🚀", {"u_me", "u_lena", "u_owen", "u_hugo"}}, {"👀", {"u_tess"}}}));
  EXPECT_TRUE(by_id("m_kira").edited);
  EXPECT_EQ(by_id("m_kira").history.at(0).ts, kDemoTime + 3180);
  EXPECT_EQ(by_id("m_concept").attachment,
            (std::optional<Attachment>{attachment::Image{"call-overlay-v3.png", "kivo-demo://call-grid", 640, 360}}));
  EXPECT_EQ(by_id("m_clip").attachment,
            (std::optional<Attachment>{attachment::Video{"tile-promotion.webm", "demo:tile-promotion", 6815744, 1280, 720}}));
  EXPECT_EQ(by_id("m_hugo").attachment,
            (std::optional<Attachment>{attachment::File{"moq-over-swarm.md", "demo:moq-over-swarm", 18944}}));
}

TEST(Seeds, RandomIdsDifferBetweenRunsEverythingElseIsEqual) {
  auto a = load_messages(demo().doc, "c_crit");
  auto b = load_messages(demo().doc, "c_crit");
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (i >= 8) {
      EXPECT_NE(a[i].id, b[i].id);
      EXPECT_EQ(a[i].id.size(), 34u);
      b[i].id = a[i].id;
    }
    EXPECT_EQ(a[i], b[i]);
  }
}

TEST(Seeds, HomeWithTheLocalPerson) {
  TestDoc t;
  Person me{"u_1234", "Ann Lee", "AL", 4, Presence::Dnd, false};
  t.write([&](DocWrite w) { EXPECT_TRUE(seed_home(w, me)); });
  EXPECT_EQ(list_people(t.doc), (std::vector<Person>{me}));
  EXPECT_EQ(list_workspaces(t.doc), (std::vector<Workspace>{{"ws_home", "My Workspace", "MW", 0, 0}}));
  auto channels = list_channels(t.doc);
  ASSERT_EQ(channels.size(), 2u);
  EXPECT_EQ(channels[0].id, "c_general");
  EXPECT_EQ(channels[1].id, "c_lounge");
  EXPECT_EQ(channels[1].kind, ChannelKind::Voice);
  EXPECT_TRUE(load_messages(t.doc, "c_general").empty());
  auto users = get_map(t.doc, kivo::doc::ROOT, key::users);
  EXPECT_EQ(read_string(t.doc, *get_map(t.doc, *users, "u_1234"), "status"), "dnd");
}

}  // namespace
}  // namespace chat
