// Change: one committed transaction as exchanged between peers, with its chunk
// encoding (columnar operations, SHA-256 hash) and decoding.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/doc/change_hash.h"
#include "runtime/doc/encoding.h"
#include "runtime/doc/op_id.h"
#include "runtime/doc/value.h"

namespace kivo::doc {

// Operation actions as stored.
enum class Action : uint8_t {
  MakeMap = 0, Set = 1, MakeList = 2, Delete = 3, MakeText = 4, Increment = 5, MakeTable = 6,
};
constexpr uint64_t kMaxAction = 6;

// One operation inside a change. OpId actors index the change's actor list
// (0 = the author, i = other_actors[i - 1]).
struct ChangeOp {
  OpId obj;               // counter 0: the root map
  bool elem_key = false;  // key is a list element (elem) rather than a map key (key)
  std::string key;
  OpId elem;              // counter 0: the head of the list
  bool insert = false;
  Action action = Action::Set;
  ScalarValue value;
  std::vector<OpId> pred;  // sorted in Lamport order
};

struct Change {
  ActorId actor;
  uint64_t seq = 0;
  uint64_t start_op = 0;
  int64_t time = 0;  // milliseconds
  std::string message;
  std::vector<ChangeHash> deps;  // sorted
  std::vector<ActorId> other_actors;  // sorted, without the author
  std::vector<ChangeOp> ops;
  Bytes extra;  // trailing bytes kept as written

  // Filled by encode/decode:
  ChangeHash hash;
  Bytes bytes;  // the uncompressed change chunk

  uint64_t max_op() const { return start_op + ops.size() - 1; }
};

// Encodes the change into change.bytes and sets change.hash.
void encode_change(Change& change);
// Decodes one change chunk (type 1 or 2) from its full chunk bytes.
Result<Change> decode_change(ByteView chunk);

// Chunk framing shared by changes and documents.
inline constexpr uint8_t kMagic[4] = {0x85, 0x6f, 0x4a, 0x83};
enum class ChunkType : uint8_t { Document = 0, Change = 1, Compressed = 2 };
struct ChunkView {
  ChunkType type;
  ByteView body;
  ByteView whole;     // header and body
  uint8_t checksum[4];
};
// Splits the next chunk off the front of data; verifies the checksum of plain chunks.
Result<ChunkView> read_chunk(Reader& r);
Bytes frame_chunk(ChunkType type, const Bytes& body, ChangeHash* hash_out);

// Value encoding of the value columns: metadata (length << 4 | type) and raw bytes.
void encode_value(const ScalarValue& v, RleEncoder<uint64_t>& meta, Bytes& raw);
bool decode_value(uint64_t meta, Reader& raw, ScalarValue& out);

// Lamport comparison of op ids given the actor bytes they index.
inline bool lamport_less(const OpId& a, const OpId& b, const std::vector<ActorId>& actors) {
  if (a.counter != b.counter) return a.counter < b.counter;
  return actors[a.actor] < actors[b.actor];
}

// Limits that keep hostile input from exhausting memory.
inline constexpr uint64_t kMaxChunkBytes = uint64_t(1) << 30;
inline constexpr uint64_t kMaxOpsPerChunk = uint64_t(1) << 26;
inline constexpr uint64_t kMaxCounter = uint64_t(1) << 53;
// Operations a chunk may decode to: run-length columns make operations cheap to claim,
// so the allowance grows with the size of the chunk (real documents use well under 10 per byte).
inline uint64_t max_ops_for(size_t chunk_bytes) { return std::min<uint64_t>(kMaxOpsPerChunk, 64 * uint64_t(chunk_bytes) + 4096); }

}  // namespace kivo::doc
