// OpSet: the current state of a document as the set of all its operations, grouped
// per object in document order (maps by key, lists and text in element order).
// Internal to the library; the public face is Document.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/doc/change.h"
#include "runtime/doc/op_id.h"
#include "runtime/doc/value.h"

namespace kivo::doc::detail {

// One stored operation. Actor indices refer to OpSet::actors.
struct Op {
  OpId id;
  OpId elem;           // lists/text: reference element of an insert, or target element of an update
  uint32_t key = 0;    // maps: interned key
  Action action = Action::Set;
  bool insert = false;
  ScalarValue value;
  std::vector<OpId> succ;  // operations that overwrote, deleted or incremented this one; Lamport order
};

// A run of consecutive list elements; an element (its insert op followed by the ops that
// update it) never spans two blocks.
struct Block {
  std::vector<Op> ops;
  uint64_t visible = 0;  // visible elements
  uint64_t width = 0;    // visible width: Unicode scalars for text, elements for lists
  size_t index = 0;      // position in Object::blocks
};

struct Object {
  ObjType type = ObjType::Map;
  std::vector<Op> map_ops;                      // maps: sorted by (key, id)
  std::vector<std::unique_ptr<Block>> blocks;   // lists/text: document order
  std::unordered_map<OpId, Block*, OpIdHash> elem_block;  // element -> block, built on demand
  bool indexed = false;
  uint64_t visible = 0, width = 0;
};

// Which operations a read sees: for each actor index, the highest counter included.
struct Clock {
  std::vector<uint64_t> max_op;
  bool covers(const OpId& id) const { return id.actor < max_op.size() && id.counter <= max_op[id.actor]; }
};

// An operation in document actor indices, as applied (and undone) by OpSet.
struct DocOp {
  OpId obj;
  OpId id;
  bool elem_key = false;
  uint32_t key = 0;
  OpId elem;
  bool insert = false;
  Action action = Action::Set;
  ScalarValue value;
  std::vector<OpId> pred;
};

// Position of an element: block index and offset of its insert op.
struct ElemPos {
  size_t block = 0;
  size_t offset = 0;
};

class OpSet {
public:
  OpSet();

  std::vector<ActorId> actors;
  std::unordered_map<std::string, uint32_t> actor_index;
  std::vector<std::string> keys;
  std::unordered_map<std::string, uint32_t> key_index;
  std::unordered_map<OpId, Object, OpIdHash> objects;
  uint64_t max_op = 0;

  uint32_t intern_actor(const ActorId& a);
  uint32_t intern_key(std::string_view k);
  std::optional<uint32_t> find_key(std::string_view k) const;
  bool less(const OpId& a, const OpId& b) const {
    if (a.counter != b.counter) return a.counter < b.counter;
    return actors[a.actor] < actors[b.actor];
  }

  Object* object(const OpId& id);
  const Object* object(const OpId& id) const;

  // Applies one operation; fails without changing anything when it does not fit the document.
  Status apply(const DocOp& op);
  // Reverts an operation applied last (operations are undone in reverse order).
  void undo(const DocOp& op);

  // --- reads (clock == nullptr: the current state) ---
  // The visible ops of a map key, in Lamport order.
  std::vector<const Op*> map_values(const Object& obj, uint32_t key, const Clock* clock) const;
  // Visible ops of the element at pos.
  std::vector<const Op*> elem_values(const Object& obj, ElemPos pos, const Clock* clock) const;
  // The element at visible index (text: Unicode scalar position), and its start offset.
  std::optional<ElemPos> nth(const Object& obj, uint64_t index, const Clock* clock) const;
  std::optional<ElemPos> locate(Object& obj, const OpId& elem);
  uint64_t length(const Object& obj, const Clock* clock) const;
  std::string text(const Object& obj, const Clock* clock) const;
  Value value_of(const Op& op, const std::vector<const Op*>& group, const Clock* clock) const;
  // ops of the group of the element at pos: [offset, end)
  size_t group_end(const Block& b, size_t offset) const;
  std::pair<size_t, size_t> map_range(const Object& obj, uint32_t key) const;  // ops of one key

  bool op_visible(const Op& op, const Op* group, size_t n, const Clock* clock) const;
  int64_t counter_value(const Op& op, const Op* group, size_t n, const Clock* clock) const;
  uint64_t elem_width(const Object& obj, const Block& b, size_t offset, const Clock* clock) const;

private:
  void ensure_index(Object& obj);
  void adjust(Object& obj, Block& b, size_t offset, int64_t dvis, int64_t dwidth);
  void maybe_split(Object& obj, size_t block_index);
  void add_succ(Op& target, const OpId& succ);
  void remove_succ(Op& target, const OpId& succ);
};

// Number of Unicode scalar values in UTF-8 text.
size_t utf8_length(std::string_view s);
ObjType make_type(Action a);
bool is_make(Action a);

}  // namespace kivo::doc::detail
