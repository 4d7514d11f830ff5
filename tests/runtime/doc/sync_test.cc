// Sync between two of our peers, the Bloom filter, and hostile sync messages.
#include <gtest/gtest.h>

#include <random>

#include "runtime/doc/json_view.h"
#include "runtime/doc/sync.h"
#include "runtime/doc/transaction.h"
#include "tests/runtime/doc/scenarios.h"

namespace kivo::doc {
namespace {

void edit(Document& d, const std::string& list, int n) {
  auto tx = d.begin();
  auto v = d.get(ROOT, list);
  ObjId l = v ? v->object()->id : test::must(tx.put_object(ROOT, list, ObjType::List));
  for (int i = 0; i < n; ++i) (void)tx.insert(l, d.length(l), std::string(list + std::to_string(i)));
  tx.commit("", 1);
}

int run_sync(Document& a, SyncState& sa, Document& b, SyncState& sb) {
  for (int round = 0; round < 50; ++round) {
    auto m1 = generate_sync_message(a, sa);
    if (m1) {
      EXPECT_TRUE(receive_sync_message(b, sb, *m1).ok());
    }
    auto m2 = generate_sync_message(b, sb);
    if (m2) {
      EXPECT_TRUE(receive_sync_message(a, sa, *m2).ok());
    }
    if (!m1 && !m2) return round;
  }
  return -1;
}

TEST(Sync, PeersConvergeFromScratchAndAfterConcurrentEdits) {
  Document a, b;
  for (int i = 0; i < 10; ++i) edit(a, "a", 3);
  edit(b, "b", 2);
  SyncState sa, sb;
  EXPECT_GE(run_sync(a, sa, b, sb), 0);
  EXPECT_EQ(a.heads(), b.heads());
  EXPECT_EQ(to_json(a), to_json(b));
  edit(a, "a", 1);
  edit(b, "b", 4);
  edit(b, "a", 1);
  EXPECT_GE(run_sync(a, sa, b, sb), 0);
  EXPECT_EQ(a.heads(), b.heads());
  EXPECT_EQ(to_json(a), to_json(b));
  // A restarted peer keeps only the shared heads.
  auto restored = decode_sync_state(encode_sync_state(sa));
  ASSERT_TRUE(restored.ok());
  EXPECT_EQ(restored->shared_heads, sa.shared_heads);
}

TEST(Sync, BloomFilterHasNoFalseNegatives) {
  std::vector<ChangeHash> hashes;
  for (int i = 0; i < 100; ++i) {
    std::string s = std::to_string(i);
    hashes.push_back(sha256(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  }
  auto f = BloomFilter::from_hashes(hashes);
  auto decoded = BloomFilter::decode(f.encode());
  ASSERT_TRUE(decoded.ok());
  int false_positives = 0;
  for (const auto& h : hashes) EXPECT_TRUE(decoded->contains(h));
  for (int i = 100; i < 1100; ++i) {
    std::string s = std::to_string(i);
    false_positives += decoded->contains(sha256(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  }
  EXPECT_LT(false_positives, 50);
  EXPECT_FALSE(BloomFilter{}.contains(hashes[0]));
}

TEST(Sync, MessageRoundTrip) {
  SyncMessage m;
  m.heads = {sha256(nullptr, 0)};
  m.need = {sha256(reinterpret_cast<const uint8_t*>("x"), 1)};
  m.have.push_back(Have{m.heads, BloomFilter::from_hashes(m.need)});
  m.changes.push_back(Bytes{1, 2, 3});
  auto d = decode_sync_message(encode_sync_message(m));
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->heads, m.heads);
  EXPECT_EQ(d->need, m.need);
  ASSERT_EQ(d->have.size(), 1u);
  EXPECT_TRUE(d->have[0].bloom.contains(m.need[0]));
  EXPECT_EQ(d->changes, m.changes);
}

TEST(Sync, HostileMessagesChangeNothing) {
  Document a, b;
  edit(a, "a", 5);
  edit(b, "b", 5);
  SyncState sa, sb;
  auto good = generate_sync_message(a, sa);
  ASSERT_TRUE(good);
  ASSERT_TRUE(receive_sync_message(b, sb, *good).ok());
  auto reply = generate_sync_message(b, sb);
  ASSERT_TRUE(reply);
  ASSERT_TRUE(receive_sync_message(a, sa, *reply).ok());
  auto with_changes = generate_sync_message(a, sa);
  ASSERT_TRUE(with_changes);
  std::vector<Bytes> bad;
  for (size_t n = 0; n < with_changes->size(); n += 7) bad.emplace_back(with_changes->begin(), with_changes->begin() + n);
  Bytes flipped = *with_changes;
  flipped[flipped.size() - 5] ^= 0xff;  // inside a change: checksum mismatch
  bad.push_back(flipped);
  std::mt19937 rng(3);
  for (int i = 0; i < 100; ++i) {
    Bytes r(rng() % 100);
    for (auto& x : r) x = uint8_t(rng());
    if (!r.empty()) r[0] = 0x42;
    bad.push_back(r);
  }
  Bytes huge{0x42};
  write_uleb(huge, uint64_t(1) << 40);  // claims a trillion heads
  bad.push_back(huge);
  auto view = to_json(b);
  auto heads = b.heads();
  for (const auto& m : bad) {
    SyncState copy = sb;
    auto st = receive_sync_message(b, copy, m);
    if (st.ok()) continue;  // a prefix can be a valid, empty message
    EXPECT_EQ(to_json(b), view);
    EXPECT_EQ(b.heads(), heads);
    EXPECT_EQ(copy.shared_heads, sb.shared_heads);
  }
  EXPECT_TRUE(receive_sync_message(b, sb, *with_changes).ok());
}

}  // namespace
}  // namespace kivo::doc
