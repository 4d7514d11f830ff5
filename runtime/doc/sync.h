// The Automerge sync protocol: per-peer SyncState, Bloom filter summaries of what a
// peer has, and the (version 1) sync message with its wire encoding.
#pragma once

#include <optional>
#include <unordered_set>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/doc/change_hash.h"
#include "runtime/doc/document.h"
#include "runtime/doc/encoding.h"

namespace kivo::doc {

// A Bloom filter over change hashes (10 bits per entry, 7 probes).
struct BloomFilter {
  uint64_t num_entries = 0;
  uint64_t bits_per_entry = 10;
  uint64_t num_probes = 7;
  Bytes bits;

  static BloomFilter from_hashes(const std::vector<ChangeHash>& hashes);
  void add(const ChangeHash& h);
  bool contains(const ChangeHash& h) const;
  Bytes encode() const;
  static Result<BloomFilter> decode(ByteView bytes);
};

struct Have {
  Heads last_sync;
  BloomFilter bloom;
};

struct SyncMessage {
  Heads heads;
  std::vector<ChangeHash> need;
  std::vector<Have> have;
  std::vector<Bytes> changes;  // change chunks
};

Bytes encode_sync_message(const SyncMessage& m);
// Rejects truncated or malformed messages; ignores trailing data of newer protocol versions.
Result<SyncMessage> decode_sync_message(ByteView bytes);

// What we know about one remote peer. Only shared_heads survives a restart.
struct SyncState {
  Heads shared_heads;
  Heads last_sent_heads;
  std::optional<Heads> their_heads;
  std::optional<std::vector<ChangeHash>> their_need;
  std::optional<std::vector<Have>> their_have;
  std::unordered_set<ChangeHash, ChangeHashHash> sent_hashes;
  bool in_flight = false;
};

Bytes encode_sync_state(const SyncState& s);
Result<SyncState> decode_sync_state(ByteView bytes);

// The next message for the peer, or nullopt when there is nothing to say.
std::optional<Bytes> generate_sync_message(const Document& doc, SyncState& state);
// Applies a message from the peer. On error the document and the state are unchanged.
Status receive_sync_message(Document& doc, SyncState& state, ByteView message);

}  // namespace kivo::doc
