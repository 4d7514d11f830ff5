// DocState: everything a Document holds (operation set, change history, heads, queue),
// shared by the storage, transaction and sync code of this library.
#pragma once

#include <unordered_map>
#include <vector>

#include "runtime/doc/change.h"
#include "runtime/doc/op_set.h"

namespace kivo::doc::detail {

struct ChangeRecord {
  ChangeHash hash;
  uint32_t actor = 0;  // OpSet actor index
  uint64_t seq = 0, start_op = 0, max_op = 0;
  int64_t time = 0;
  std::string message;
  std::vector<uint32_t> deps;  // indices into DocState::changes
  Bytes extra;
  Bytes bytes;  // the change chunk
};

struct DocState {
  OpSet ops;
  ActorId actor;
  std::vector<ChangeRecord> changes;  // causal order
  std::unordered_map<ChangeHash, uint32_t, ChangeHashHash> by_hash;
  std::vector<std::vector<uint32_t>> actor_changes;  // per actor index: change indices by seq
  Heads heads;
  std::vector<Change> queue;  // changes waiting for their dependencies
  mutable size_t saved_upto = 0;  // changes covered by the last save
  bool in_transaction = false;
};

// Applies decoded changes (queueing those with missing dependencies). On error the
// document, history and queue are as before.
Status apply_changes(DocState& st, std::vector<Change> changes);
// Records a change whose operations are already applied (a local commit).
void record_change(DocState& st, Change&& change);
// The clock of everything reachable from heads.
Clock clock_at(const DocState& st, const Heads& heads);
// Indices of all changes reachable from heads.
std::vector<bool> ancestors(const DocState& st, const Heads& heads);

// Document chunk codec.
Bytes save_document(const DocState& st);
Status load_document(DocState& st, ByteView body);

uint32_t actor_slot(DocState& st, const ActorId& a);

}  // namespace kivo::doc::detail
