// Document: an Automerge-compatible CRDT document (root map; maps, lists, text;
// scalars), with its change history, storage (save/load) and merging.
//
// Text positions and lengths in this API count Unicode scalar values (code points),
// not bytes and not UTF-16 code units.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/doc/change.h"
#include "runtime/doc/change_hash.h"
#include "runtime/doc/encoding.h"
#include "runtime/doc/op_id.h"
#include "runtime/doc/value.h"

namespace kivo::doc {

namespace detail {
struct DocState;
}
class Transaction;

// Summary of one change of the history.
struct ChangeInfo {
  ChangeHash hash;
  ActorId actor;
  uint64_t seq = 0;
  uint64_t start_op = 0;
  uint64_t max_op = 0;
  int64_t time = 0;
  std::string message;
  std::vector<ChangeHash> deps;
};

class Document {
public:
  Document();  // empty document with a random actor id
  ~Document();
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  Document(const Document&) = delete;

  // Loads any concatenation of document and change chunks.
  static Result<Document> load(ByteView bytes);
  Document clone() const;  // same state, same actor (set another one before writing)

  const ActorId& actor() const;
  void set_actor(ActorId actor);

  // --- reads (at = nullptr: the current state; otherwise the state at those heads) ---
  std::optional<Value> get(ObjId obj, std::string_view key, const Heads* at = nullptr) const;
  std::optional<Value> get(ObjId obj, size_t index, const Heads* at = nullptr) const;
  std::vector<Value> get_all(ObjId obj, std::string_view key, const Heads* at = nullptr) const;  // conflicts, Lamport order
  std::vector<Value> get_all(ObjId obj, size_t index, const Heads* at = nullptr) const;
  std::vector<std::string> keys(ObjId obj, const Heads* at = nullptr) const;  // ascending
  size_t length(ObjId obj, const Heads* at = nullptr) const;  // list elements, text scalars, map keys
  std::string text(ObjId obj, const Heads* at = nullptr) const;  // empty unless a text object
  std::optional<ObjType> object_type(ObjId obj) const;
  // Visits the visible list elements (or map entries) in order without copying them.
  void for_each_element(ObjId list, const std::function<void(size_t index, const Value&)>& f) const;
  void for_each_entry(ObjId map, const std::function<void(const std::string& key, const Value&)>& f) const;

  // --- history ---
  Heads heads() const;
  std::vector<ChangeInfo> changes() const;  // the whole history in causal order
  // Changes (as change chunks) that are not ancestors of have_heads, in causal order.
  std::vector<Bytes> get_changes(const Heads& have_heads) const;
  std::optional<Bytes> get_change(const ChangeHash& hash) const;
  bool has_change(const ChangeHash& hash) const;
  // Hashes named as dependencies (or in heads) that this document does not have.
  std::vector<ChangeHash> missing_deps(const Heads& heads) const;

  // --- writing ---
  Transaction begin();

  // --- storage and merging ---
  Bytes save() const;              // one compressed document chunk
  Bytes save_incremental();        // change chunks committed or applied since the last save
  // Applies change chunks; changes whose dependencies are missing wait until they arrive.
  // On any error nothing is applied.
  Status apply_changes(const std::vector<Bytes>& changes);
  Status load_incremental(ByteView bytes);  // applies a concatenation of chunks
  Status merge(const Document& other);

  detail::DocState& state() { return *m_state; }
  const detail::DocState& state() const { return *m_state; }

private:
  friend class Transaction;
  std::unique_ptr<detail::DocState> m_state;
};

}  // namespace kivo::doc
