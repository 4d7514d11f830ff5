// Storage: save/load round trips, incremental saves, queued changes, and bad input
// that must be rejected without touching the document.
#include <gtest/gtest.h>

#include <random>

#include "runtime/doc/document.h"
#include "runtime/doc/json_view.h"
#include "runtime/doc/transaction.h"
#include "tests/runtime/doc/scenarios.h"

namespace kivo::doc {
namespace {

using test::must;

Document sample() { return test::conflicts_scenario(); }

TEST(Storage, SaveLoadRoundTrip) {
  for (auto make : {sample, test::chat_scenario}) {
    Document d = make();
    auto loaded = Document::load(d.save());
    ASSERT_TRUE(loaded.ok()) << loaded.error().message;
    EXPECT_EQ(to_json(*loaded), to_json(d));
    EXPECT_EQ(loaded->heads(), d.heads());
    EXPECT_EQ(loaded->get_changes({}).size(), d.changes().size());
    EXPECT_EQ(loaded->save(), d.save());
  }
}

TEST(Storage, IncrementalSavesConcatenate) {
  Document d;
  Bytes file = d.save();
  for (int i = 0; i < 3; ++i) {
    auto tx = d.begin();
    (void)tx.put(ROOT, "k" + std::to_string(i), int64_t(i));
    tx.commit("", i);
    Bytes inc = d.save_incremental();
    EXPECT_FALSE(inc.empty());
    file.insert(file.end(), inc.begin(), inc.end());
  }
  EXPECT_TRUE(d.save_incremental().empty());
  auto loaded = Document::load(file);
  ASSERT_TRUE(loaded.ok()) << loaded.error().message;
  EXPECT_EQ(to_json(*loaded), to_json(d));
  EXPECT_EQ(loaded->heads(), d.heads());
}

TEST(Storage, ChangesWithMissingDependenciesWait) {
  Document src;
  std::vector<Bytes> changes;
  for (int i = 0; i < 3; ++i) {
    auto tx = src.begin();
    (void)tx.put(ROOT, "k", int64_t(i));
    tx.commit("", i);
    changes.push_back(src.get_changes(Heads{}).back());
  }
  Document d;
  ASSERT_TRUE(d.apply_changes({changes[2], changes[1]}).ok());
  EXPECT_TRUE(d.heads().empty());
  EXPECT_EQ(d.missing_deps({}).size(), 1u);
  ASSERT_TRUE(d.apply_changes({changes[0]}).ok());
  EXPECT_EQ(d.heads(), src.heads());
  EXPECT_EQ(d.get(ROOT, "k")->as_int(), 2);
}

// Two changes that differ only in an operation value have different hashes and both survive a merge.
TEST(Storage, HashCoversOperations) {
  Document a, b;
  a.set_actor(test::actor_hex("0a"));
  b.set_actor(test::actor_hex("0a"));
  {
    auto tx = a.begin();
    (void)tx.put(ROOT, "k", int64_t(1));
    tx.commit("", 5);
  }
  {
    auto tx = b.begin();
    (void)tx.put(ROOT, "k", int64_t(2));
    tx.commit("", 5);
  }
  EXPECT_NE(a.heads(), b.heads());
  EXPECT_FALSE(a.merge(b).ok()) << "same actor and seq with different content is an error, not a silent drop";
  EXPECT_EQ(a.get(ROOT, "k")->as_int(), 1);
}

void expect_unchanged(const Document& d, const nlohmann::json& view, const Heads& heads) {
  EXPECT_EQ(to_json(d), view);
  EXPECT_EQ(d.heads(), heads);
}

TEST(Storage, BadBytesAreRejected) {
  Document d = sample();
  Bytes good = d.save();
  std::vector<Bytes> bad;
  bad.push_back({});
  bad.push_back({0x85, 0x6f, 0x4a});
  for (size_t n : {size_t(8), size_t(12), good.size() / 2, good.size() - 1}) bad.emplace_back(good.begin(), good.begin() + n);
  for (size_t at : {size_t(4), size_t(9), size_t(20), good.size() / 2, good.size() - 3}) {
    Bytes flipped = good;
    flipped[at] ^= 0x41;
    bad.push_back(flipped);
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 50; ++i) {
    Bytes r(1 + rng() % 200);
    for (auto& b : r) b = uint8_t(rng());
    if (i % 2) std::copy(good.begin(), good.begin() + 8, r.begin() + 0 * r.size()), r.resize(std::max<size_t>(r.size(), 8));
    bad.push_back(r);
  }
  auto view = to_json(d);
  auto heads = d.heads();
  for (size_t i = 0; i < bad.size(); ++i) {
    if (bad[i].empty()) continue;
    EXPECT_FALSE(Document::load(bad[i]).ok()) << "case " << i;
    EXPECT_FALSE(d.apply_changes({bad[i]}).ok()) << "case " << i;
    EXPECT_FALSE(d.load_incremental(bad[i]).ok()) << "case " << i;
    expect_unchanged(d, view, heads);
  }
}

// A batch whose later change does not fit the document applies nothing.
TEST(Storage, FailedBatchAppliesNothing) {
  Document src;
  src.set_actor(test::actor_hex("0b"));
  {
    auto tx = src.begin();
    (void)tx.put(ROOT, "fine", int64_t(1));
    tx.commit("", 1);
  }
  Bytes good = src.get_changes({}).back();
  Change bad;
  bad.actor = test::actor_hex("0c");
  bad.seq = 1;
  bad.start_op = 1;
  ChangeOp op;
  op.obj = OpId{77, 0};  // an object nobody created
  op.key = "k";
  op.value = int64_t(1);
  bad.ops.push_back(op);
  encode_change(bad);
  Document d = sample();
  auto view = to_json(d);
  auto heads = d.heads();
  EXPECT_FALSE(d.apply_changes({good, bad.bytes}).ok());
  expect_unchanged(d, view, heads);
  EXPECT_FALSE(d.has_change(src.heads()[0]));
  ASSERT_TRUE(d.apply_changes({good}).ok());
  EXPECT_EQ(d.get(ROOT, "fine")->as_int(), 1);
}

TEST(Storage, CompressedChangeChunkLoads) {
  Document src;
  {
    auto tx = src.begin();
    ObjId t = must(tx.put_object(ROOT, "t", ObjType::Text));
    (void)tx.splice_text(t, 0, 0, std::string(300, 'z'));
    tx.commit("", 1);
  }
  Bytes plain = src.get_changes({}).back();
  Reader r(plain);
  auto chunk = read_chunk(r);
  ASSERT_TRUE(chunk.ok());
  Bytes body(chunk->body.begin(), chunk->body.end()), z;
  ASSERT_TRUE(deflate_raw(body, z));
  Bytes compressed(kMagic, kMagic + 4);
  ChangeHash hash = src.heads()[0];
  compressed.insert(compressed.end(), hash.bytes.begin(), hash.bytes.begin() + 4);
  compressed.push_back(uint8_t(ChunkType::Compressed));
  write_uleb(compressed, z.size());
  compressed.insert(compressed.end(), z.begin(), z.end());
  auto loaded = Document::load(compressed);
  ASSERT_TRUE(loaded.ok()) << loaded.error().message;
  EXPECT_EQ(loaded->heads(), src.heads());
  EXPECT_EQ(to_json(*loaded), to_json(src));
}

}  // namespace
}  // namespace kivo::doc

namespace kivo::doc {
namespace {

// A few bytes of run-length columns claiming millions of operations are refused
// before anything that size is allocated.
TEST(Storage, ClaimedOperationCountIsLimitedBySize) {
  const int64_t claimed = int64_t(1) << 25;
  Bytes key, action;
  write_sleb(key, claimed);
  write_uleb(key, 1);
  key.push_back('k');
  write_sleb(action, claimed);
  write_uleb(action, 1);
  Bytes body{0, 1, 0xab, 1, 1, 0, 0, 0};  // no deps, actor ab, seq 1, start op 1, time 0, no message, no others
  write_uleb(body, 2);
  write_uleb(body, column_spec(1, ColumnType::String));
  write_uleb(body, key.size());
  write_uleb(body, column_spec(4, ColumnType::Uleb));
  write_uleb(body, action.size());
  body.insert(body.end(), key.begin(), key.end());
  body.insert(body.end(), action.begin(), action.end());
  Bytes chunk = frame_chunk(ChunkType::Change, body, nullptr);
  auto c = decode_change(chunk);
  ASSERT_FALSE(c.ok());
  EXPECT_NE(c.error().message.find("too many"), std::string::npos) << c.error().message;
}

}  // namespace
}  // namespace kivo::doc
