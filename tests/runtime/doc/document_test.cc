// Document model: reads and writes through transactions, merging of concurrent edits,
// and reads at earlier heads.
#include <gtest/gtest.h>

#include "runtime/doc/document.h"
#include "runtime/doc/json_view.h"
#include "runtime/doc/transaction.h"
#include "tests/runtime/doc/scenarios.h"

namespace kivo::doc {
namespace {

using test::actor_hex;
using test::must;

ObjId obj_at(const Document& d, ObjId parent, std::string_view key) { return d.get(parent, key)->object()->id; }

TEST(Document, MapWritesAndReads) {
  Document d;
  auto tx = d.begin();
  ASSERT_TRUE(tx.put(ROOT, "b", int64_t(-5)).ok());
  ASSERT_TRUE(tx.put(ROOT, "a", std::string("x")).ok());
  ASSERT_TRUE(tx.put(ROOT, "c", 1.5).ok());
  ObjId m = must(tx.put_object(ROOT, "m", ObjType::Map));
  ASSERT_TRUE(tx.put(m, "inner", true).ok());
  ASSERT_TRUE(tx.delete_key(ROOT, "c").ok());
  ASSERT_TRUE(tx.delete_key(ROOT, "never-set").ok());
  EXPECT_EQ(tx.pending_ops(), 6u) << "deleting an unset key makes no operation";
  ASSERT_TRUE(tx.commit("first", 1).has_value());
  EXPECT_EQ(d.keys(ROOT), (std::vector<std::string>{"a", "b", "m"}));
  EXPECT_EQ(*d.get(ROOT, "b")->as_int(), -5);
  EXPECT_EQ(*d.get(ROOT, "a")->as_string(), "x");
  EXPECT_FALSE(d.get(ROOT, "c").has_value());
  EXPECT_EQ(d.get(ROOT, "m")->object()->type, ObjType::Map);
  EXPECT_EQ(d.length(ROOT), 3u);
  EXPECT_EQ(d.get(m, "inner")->v, Value{ScalarValue{true}}.v);
}

TEST(Document, WriteErrorsLeaveNoOperation) {
  Document d;
  auto tx = d.begin();
  ObjId l = must(tx.put_object(ROOT, "l", ObjType::List));
  EXPECT_FALSE(tx.insert(l, 1, int64_t(1)).ok()) << "index past the end";
  EXPECT_FALSE(tx.delete_index(l, 0).ok());
  EXPECT_FALSE(tx.put(l, "key", int64_t(1)).ok()) << "map write on a list";
  EXPECT_FALSE(tx.insert(ROOT, 0, int64_t(1)).ok()) << "list write on a map";
  EXPECT_FALSE(tx.put(ObjId{999, 0}, "k", Null{}).ok()) << "unknown object";
  ASSERT_TRUE(tx.put(ROOT, "n", int64_t(1)).ok());
  EXPECT_FALSE(tx.increment(ROOT, "n", 1).ok()) << "not a counter";
  EXPECT_EQ(tx.pending_ops(), 2u);
}

TEST(Document, EmptyTransactionMakesNoChange) {
  Document d;
  EXPECT_FALSE(d.begin().commit("nothing").has_value());
  EXPECT_TRUE(d.heads().empty());
  EXPECT_TRUE(d.changes().empty());
}

TEST(Document, RollbackRevertsEverything) {
  Document d;
  {
    auto tx = d.begin();
    ObjId t = must(tx.put_object(ROOT, "t", ObjType::Text));
    (void)tx.splice_text(t, 0, 0, "keep");
    tx.commit("", 1);
  }
  ObjId t = obj_at(d, ROOT, "t");
  Bytes before = d.save();
  {
    auto tx = d.begin();
    (void)tx.splice_text(t, 1, 2, "XYZ");
    (void)tx.put(ROOT, "x", int64_t(1));
    ObjId l = must(tx.put_object(ROOT, "l", ObjType::List));
    (void)tx.insert(l, 0, int64_t(3));
    EXPECT_EQ(d.text(t), "kXYZp");
    tx.rollback();
  }
  EXPECT_EQ(d.text(t), "keep");
  EXPECT_EQ(d.keys(ROOT), std::vector<std::string>{"t"});
  EXPECT_EQ(d.save(), before);
  {
    auto tx = d.begin();  // destroyed without commit: rolled back
    (void)tx.put(ROOT, "gone", int64_t(1));
  }
  EXPECT_FALSE(d.get(ROOT, "gone"));
  auto tx = d.begin();
  (void)tx.splice_text(t, 4, 0, "!");
  ASSERT_TRUE(tx.commit("", 2).has_value());
  EXPECT_EQ(d.text(t), "keep!");
  EXPECT_EQ(d.changes().back().start_op, 6u) << "operation counters reused after rollback";
}

TEST(Document, ListsByIndex) {
  Document d;
  auto tx = d.begin();
  ObjId l = must(tx.put_object(ROOT, "l", ObjType::List));
  for (int i = 0; i < 5; ++i) (void)tx.insert(l, size_t(i), int64_t(i));
  (void)tx.delete_index(l, 1);
  (void)tx.insert(l, 0, int64_t(-1));
  (void)tx.put(l, 2, int64_t(20));
  ObjId m = must(tx.insert_object(l, 5, ObjType::Map));
  (void)tx.put(m, "k", std::string("v"));
  tx.commit("", 1);
  EXPECT_EQ(to_json(d)["l"], nlohmann::json::parse(R"([-1,0,20,3,4,{"k":"v"}])"));
  EXPECT_EQ(d.length(l), 6u);
  EXPECT_EQ(*d.get(l, size_t(3))->as_int(), 3);
  EXPECT_FALSE(d.get(l, size_t(6)));
}

// Long lists: appending and reading by index stay usable (blocks of elements, not a scan).
TEST(Document, LongListAppendAndRead) {
  Document d;
  ObjId l;
  {
    auto tx = d.begin();
    l = must(tx.put_object(ROOT, "l", ObjType::List));
    tx.commit("", 1);
  }
  for (int c = 0; c < 20; ++c) {
    auto tx = d.begin();
    for (int i = 0; i < 1000; ++i) (void)tx.insert(l, d.length(l), int64_t(c * 1000 + i));
    if (c % 2) (void)tx.delete_index(l, size_t(c * 500));
    tx.commit("", 1);
  }
  EXPECT_EQ(d.length(l), 19990u);
  auto loaded = Document::load(d.save());
  ASSERT_TRUE(loaded.ok());
  for (size_t i : {size_t(0), size_t(777), size_t(19989)}) EXPECT_EQ(d.get(l, i)->as_int(), loaded->get(l, i)->as_int());
  EXPECT_EQ(to_json(*loaded), to_json(d));
}

TEST(Document, TextCountsUnicodeScalars) {
  Document d;
  auto tx = d.begin();
  ObjId t = must(tx.put_object(ROOT, "t", ObjType::Text));
  (void)tx.splice_text(t, 0, 0, "a😀é");
  EXPECT_EQ(d.length(t), 3u);
  (void)tx.splice_text(t, 1, 1, "🎉🎉");
  EXPECT_EQ(d.text(t), "a🎉🎉é");
  EXPECT_FALSE(tx.splice_text(t, 9, 0, "x").ok());
  EXPECT_EQ(*d.get(t, size_t(1))->as_string(), "🎉");
  tx.commit("", 1);
}

TEST(Document, SpliceTextDiffedKeepsPrefixAndSuffix) {
  struct Case {
    std::string from, to;
    size_t ops;
  } cases[] = {
      {"hello world", "hello brave world", 6}, {"hello world", "hello", 6}, {"abc", "abc", 0},
      {"", "new", 3}, {"héllo😀", "hállo😀", 2}, {"aaa", "aa", 1},
  };
  for (const auto& c : cases) {
    Document d;
    ObjId t;
    {
      auto tx = d.begin();
      t = must(tx.put_object(ROOT, "t", ObjType::Text));
      (void)tx.splice_text(t, 0, 0, c.from);
      tx.commit("", 1);
    }
    auto tx = d.begin();
    ASSERT_TRUE(tx.splice_text_diffed(t, c.to).ok());
    EXPECT_EQ(tx.pending_ops(), c.ops) << c.from << " -> " << c.to;
    EXPECT_EQ(d.text(t), c.to);
    tx.commit("", 2);
  }
}

struct Peers {
  Document a, b;
  Peers() {
    a.set_actor(actor_hex("01"));
    b.set_actor(actor_hex("02"));
  }
  void sync() {
    ASSERT_TRUE(a.merge(b).ok());
    ASSERT_TRUE(b.merge(a).ok());
  }
};

TEST(Document, ConcurrentPutsKeepBothAndAgreeOnWinner) {
  Peers p;
  {
    auto tx = p.a.begin();
    (void)tx.put(ROOT, "k", std::string("from a"));
    tx.commit("", 1);
  }
  {
    auto tx = p.b.begin();
    (void)tx.put(ROOT, "k", std::string("from b"));
    tx.commit("", 1);
  }
  p.sync();
  EXPECT_EQ(*p.a.get(ROOT, "k")->as_string(), "from b") << "same counter: greater actor wins";
  EXPECT_EQ(*p.b.get(ROOT, "k")->as_string(), "from b");
  auto all = p.a.get_all(ROOT, "k");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(*all[0].as_string(), "from a");
  auto tx = p.a.begin();
  (void)tx.put(ROOT, "k", std::string("resolved"));
  tx.commit("", 2);
  EXPECT_EQ(p.a.get_all(ROOT, "k").size(), 1u);
}

TEST(Document, ConcurrentInsertsCountersAndDeletesMerge) {
  Peers p;
  ObjId l, t;
  {
    auto tx = p.a.begin();
    l = must(tx.put_object(ROOT, "l", ObjType::List));
    (void)tx.insert(l, 0, int64_t(0));
    t = must(tx.put_object(ROOT, "t", ObjType::Text));
    (void)tx.splice_text(t, 0, 0, "ab");
    (void)tx.put(ROOT, "c", Counter{0});
    tx.commit("", 1);
  }
  ASSERT_TRUE(p.b.merge(p.a).ok());
  for (auto* d : {&p.a, &p.b}) {
    auto tx = d->begin();
    bool is_a = d == &p.a;
    (void)tx.insert(l, 1, int64_t(is_a ? 1 : 2));
    (void)tx.splice_text(t, 1, 0, is_a ? "😀" : "é");
    (void)tx.increment(ROOT, "c", is_a ? 5 : 7);
    if (!is_a) (void)tx.delete_index(l, 0);
    tx.commit("", 2);
  }
  p.sync();
  EXPECT_EQ(to_json(p.a), to_json(p.b));
  EXPECT_EQ(p.a.heads(), p.b.heads());
  EXPECT_EQ(p.a.get(ROOT, "c")->as_int(), 12);
  EXPECT_EQ(p.a.length(l), 2u);
  std::string text = p.a.text(t);
  EXPECT_TRUE(text == "aé😀b" || text == "a😀éb") << text;
  EXPECT_EQ(p.a.length(t), 4u);
}

TEST(Document, ReadsAtHeads) {
  Document d;
  ObjId t, l;
  {
    auto tx = d.begin();
    (void)tx.put(ROOT, "k", int64_t(1));
    t = must(tx.put_object(ROOT, "t", ObjType::Text));
    (void)tx.splice_text(t, 0, 0, "old");
    l = must(tx.put_object(ROOT, "l", ObjType::List));
    (void)tx.insert(l, 0, int64_t(1));
    tx.commit("", 1);
  }
  Heads h1 = d.heads();
  {
    auto tx = d.begin();
    (void)tx.put(ROOT, "k", int64_t(2));
    (void)tx.put(ROOT, "new", true);
    (void)tx.splice_text(t, 0, 3, "newer");
    (void)tx.delete_index(l, 0);
    tx.commit("", 2);
  }
  EXPECT_EQ(d.get(ROOT, "k", &h1)->as_int(), 1);
  EXPECT_EQ(d.get(ROOT, "k")->as_int(), 2);
  EXPECT_EQ(d.keys(ROOT, &h1), (std::vector<std::string>{"k", "l", "t"}));
  EXPECT_EQ(d.text(t, &h1), "old");
  EXPECT_EQ(d.length(l, &h1), 1u);
  EXPECT_EQ(d.length(l), 0u);
  Heads none;
  EXPECT_FALSE(d.get(ROOT, "k", &none));
}

}  // namespace
}  // namespace kivo::doc
