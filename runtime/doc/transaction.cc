#include "runtime/doc/transaction.h"

#include <algorithm>
#include <chrono>

#include "runtime/doc/doc_state.h"
#include "runtime/doc/document.h"

namespace kivo::doc {

using detail::DocOp;
using detail::Object;
using detail::Op;

namespace {
constexpr int kPut = -1;  // Set, or Make* when the value says so
bool is_map(const Object& o) { return o.type == ObjType::Map || o.type == ObjType::Table; }
Action make_action(ObjType t) {
  switch (t) {
    case ObjType::List: return Action::MakeList;
    case ObjType::Text: return Action::MakeText;
    case ObjType::Table: return Action::MakeTable;
    default: return Action::MakeMap;
  }
}

// Splits UTF-8 text into its Unicode scalar values (one string each).
std::vector<std::string_view> scalars(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t j = i + 1;
    while (j < s.size() && (uint8_t(s[j]) & 0xc0) == 0x80) ++j;
    out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}
}  // namespace

Transaction::Transaction(Document& doc) : m_doc(&doc) {
  auto& st = doc.state();
  if (st.in_transaction) {
    m_open = false;
    return;
  }
  st.in_transaction = true;
  m_start_op = st.ops.max_op + 1;
}

Transaction::~Transaction() {
  if (m_open && m_doc) rollback();
}

Transaction::Transaction(Transaction&& o) noexcept
    : m_doc(o.m_doc), m_ops(std::move(o.m_ops)), m_open(o.m_open), m_start_op(o.m_start_op) {
  o.m_doc = nullptr;
  o.m_open = false;
}

size_t Transaction::pending_ops() const { return m_ops.size(); }

Status Transaction::local_op(DocOp op) {
  if (!m_open) return make_error("transaction is closed (or another one is open)");
  auto& st = m_doc->state();
  uint32_t me = detail::actor_slot(st, st.actor);
  op.id = OpId{m_start_op + m_ops.size(), me};
  KIVO_TRY(st.ops.apply(op));
  m_ops.push_back(std::move(op));
  return {};
}

Result<ObjId> Transaction::map_write(ObjId obj, std::string_view key, int action, ScalarValue value) {
  if (!m_open) return make_error("transaction is closed (or another one is open)");
  auto& ops = m_doc->state().ops;
  OpId oid{obj.counter, obj.actor};
  Object* o = ops.object(oid);
  if (!o) return make_error("unknown object");
  if (!is_map(*o)) return make_error("not a map");
  DocOp d;
  d.obj = oid;
  d.key = ops.intern_key(key);
  auto [lo, hi] = ops.map_range(*o, d.key);
  bool counter = false;
  for (size_t i = lo; i < hi; ++i)
    if (ops.op_visible(o->map_ops[i], o->map_ops.data() + lo, hi - lo, nullptr)) {
      d.pred.push_back(o->map_ops[i].id);
      counter = counter || std::holds_alternative<Counter>(o->map_ops[i].value);
    }
  d.action = Action(action);
  if (d.action == Action::Delete && d.pred.empty()) return ROOT;
  if (d.action == Action::Increment && !counter) return make_error("increment of a value that is not a counter");
  d.value = std::move(value);
  KIVO_TRY(local_op(std::move(d)));
  const auto& last = m_ops.back();
  return ObjId{last.id.counter, last.id.actor};
}

Result<ObjId> Transaction::list_write(ObjId obj, size_t index, bool insert, int action, ScalarValue value) {
  if (!m_open) return make_error("transaction is closed (or another one is open)");
  auto& ops = m_doc->state().ops;
  OpId oid{obj.counter, obj.actor};
  Object* o = ops.object(oid);
  if (!o) return make_error("unknown object");
  if (is_map(*o)) return make_error("not a list or text");
  DocOp d;
  d.obj = oid;
  d.elem_key = true;
  d.insert = insert;
  d.action = Action(action);
  d.value = std::move(value);
  if (insert) {
    if (index > ops.length(*o, nullptr)) return make_error("index out of range");
    if (index > 0) {
      auto pos = ops.nth(*o, index - 1, nullptr);
      if (!pos) return make_error("index out of range");
      d.elem = o->blocks[pos->block]->ops[pos->offset].id;
    }
  } else {
    auto pos = ops.nth(*o, index, nullptr);
    if (!pos) return make_error("index out of range");
    const auto& b = *o->blocks[pos->block];
    d.elem = b.ops[pos->offset].id;
    size_t e = ops.group_end(b, pos->offset);
    bool counter = false;
    for (size_t i = pos->offset; i < e; ++i)
      if (ops.op_visible(b.ops[i], b.ops.data() + pos->offset, e - pos->offset, nullptr)) {
        d.pred.push_back(b.ops[i].id);
        counter = counter || std::holds_alternative<Counter>(b.ops[i].value);
      }
    if (d.action == Action::Increment && !counter) return make_error("increment of a value that is not a counter");
  }
  KIVO_TRY(local_op(std::move(d)));
  const auto& last = m_ops.back();
  return ObjId{last.id.counter, last.id.actor};
}

Status Transaction::put(ObjId obj, std::string_view key, ScalarValue value) {
  KIVO_TRY(map_write(obj, key, int(Action::Set), std::move(value)));
  return {};
}

Result<ObjId> Transaction::put_object(ObjId obj, std::string_view key, ObjType type) {
  return map_write(obj, key, int(make_action(type)), Null{});
}

Status Transaction::put(ObjId list, size_t index, ScalarValue value) {
  KIVO_TRY(list_write(list, index, false, int(Action::Set), std::move(value)));
  return {};
}

Result<ObjId> Transaction::put_object(ObjId list, size_t index, ObjType type) {
  return list_write(list, index, false, int(make_action(type)), Null{});
}

Status Transaction::insert(ObjId list, size_t index, ScalarValue value) {
  KIVO_TRY(list_write(list, index, true, int(Action::Set), std::move(value)));
  return {};
}

Result<ObjId> Transaction::insert_object(ObjId list, size_t index, ObjType type) {
  return list_write(list, index, true, int(make_action(type)), Null{});
}

Status Transaction::delete_key(ObjId obj, std::string_view key) {
  KIVO_TRY(map_write(obj, key, int(Action::Delete), Null{}));
  return {};
}

Status Transaction::delete_index(ObjId list, size_t index) {
  KIVO_TRY(list_write(list, index, false, int(Action::Delete), Null{}));
  return {};
}

Status Transaction::increment(ObjId obj, std::string_view key, int64_t by) {
  KIVO_TRY(map_write(obj, key, int(Action::Increment), by));
  return {};
}

Status Transaction::increment(ObjId list, size_t index, int64_t by) {
  KIVO_TRY(list_write(list, index, false, int(Action::Increment), by));
  return {};
}

Status Transaction::splice_text(ObjId text_obj, size_t pos, size_t del, std::string_view text) {
  if (!m_open) return make_error("transaction is closed (or another one is open)");
  auto& ops = m_doc->state().ops;
  OpId oid{text_obj.counter, text_obj.actor};
  Object* o = ops.object(oid);
  if (!o) return make_error("unknown object");
  if (o->type != ObjType::Text) return make_error("not a text object");
  size_t len = ops.length(*o, nullptr);
  if (pos > len) return make_error("text position out of range");
  del = std::min(del, len - pos);
  auto parts = scalars(text);
  // Like the reference: insert the new text first, then delete the old text after it.
  auto delete_after = [&]() -> Status {
    for (size_t i = 0; i < del; ++i) KIVO_TRY(delete_index(text_obj, pos + parts.size()));
    return {};
  };
  if (parts.empty()) return delete_after();
  DocOp d;
  d.obj = oid;
  d.elem_key = true;
  d.insert = true;
  if (pos > 0) {
    auto p = ops.nth(*o, pos - 1, nullptr);
    if (!p) return make_error("text position out of range");
    d.elem = o->blocks[p->block]->ops[p->offset].id;
  }
  for (auto s : parts) {
    DocOp op = d;
    op.value = std::string(s);
    KIVO_TRY(local_op(std::move(op)));
    d.elem = m_ops.back().id;
  }
  return delete_after();
}

Status Transaction::splice_text_diffed(ObjId text_obj, std::string_view new_text) {
  std::string old = m_doc->text(text_obj);
  auto a = scalars(old);
  auto b = scalars(new_text);
  size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
    ++suffix;
  size_t del = a.size() - prefix - suffix;
  std::string ins;
  for (size_t i = prefix; i < b.size() - suffix; ++i) ins += b[i];
  if (del == 0 && ins.empty()) return {};
  return splice_text(text_obj, prefix, del, ins);
}

std::optional<ChangeHash> Transaction::commit(std::string_view message, std::optional<int64_t> time) {
  if (!m_open) return std::nullopt;
  auto& st = m_doc->state();
  m_open = false;
  st.in_transaction = false;
  if (m_ops.empty()) return std::nullopt;
  const auto& actors = st.ops.actors;
  uint32_t me = detail::actor_slot(st, st.actor);
  Change c;
  c.actor = st.actor;
  c.seq = st.actor_changes[me].size() + 1;
  c.start_op = m_start_op;
  c.time = time ? *time
                : std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  c.message = std::string(message);
  c.deps = st.heads;
  std::vector<uint32_t> others;
  auto note = [&](const OpId& id, bool present) {
    if (present && id.actor != me) others.push_back(id.actor);
  };
  for (const auto& op : m_ops) {
    note(op.obj, op.obj.counter != 0);
    note(op.elem, op.elem_key && op.elem.counter != 0);
    for (const auto& p : op.pred) note(p, true);
  }
  std::sort(others.begin(), others.end(), [&](uint32_t a, uint32_t b) { return actors[a] < actors[b]; });
  others.erase(std::unique(others.begin(), others.end()), others.end());
  std::vector<uint32_t> local(actors.size(), 0);
  for (uint32_t i = 0; i < others.size(); ++i) {
    local[others[i]] = i + 1;
    c.other_actors.push_back(actors[others[i]]);
  }
  auto loc = [&](const OpId& id) { return OpId{id.counter, local[id.actor]}; };
  for (auto& op : m_ops) {
    ChangeOp co;
    co.obj = op.obj.counter ? loc(op.obj) : OpId{};
    co.elem_key = op.elem_key;
    if (!op.elem_key) co.key = st.ops.keys[op.key];
    co.elem = op.elem_key && op.elem.counter ? loc(op.elem) : OpId{};
    co.insert = op.insert;
    co.action = op.action;
    co.value = std::move(op.value);
    std::vector<OpId> pred = op.pred;
    std::sort(pred.begin(), pred.end(), [&](const OpId& x, const OpId& y) { return st.ops.less(x, y); });
    for (auto& p : pred) co.pred.push_back(loc(p));
    c.ops.push_back(std::move(co));
  }
  m_ops.clear();
  encode_change(c);
  ChangeHash h = c.hash;
  detail::record_change(st, std::move(c));
  return h;
}

void Transaction::rollback() {
  if (!m_open) return;
  auto& st = m_doc->state();
  for (auto it = m_ops.rbegin(); it != m_ops.rend(); ++it) st.ops.undo(*it);
  m_ops.clear();
  st.ops.max_op = m_start_op - 1;
  m_open = false;
  st.in_transaction = false;
}

}  // namespace kivo::doc
