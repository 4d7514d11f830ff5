#include "runtime/doc/document.h"

#include <sodium.h>

#include <algorithm>

#include "runtime/doc/doc_state.h"
#include "runtime/doc/transaction.h"

namespace kivo::doc {

using detail::Clock;
using detail::DocState;
using detail::Object;
using detail::Op;

namespace {

ActorId random_actor() {
  if (sodium_init() < 0) {
  }
  ActorId a(16);
  randombytes_buf(a.data(), a.size());
  return a;
}

// The state a read sees: the whole document, or the part reachable from some heads.
struct View {
  const DocState& st;
  std::optional<Clock> clock;
  const Clock* c() const { return clock ? &*clock : nullptr; }
  const Object* object(ObjId id) const {
    OpId oid{id.counter, id.actor};
    const Object* o = st.ops.object(oid);
    if (!o) return nullptr;
    if (clock && id.counter != 0 && !clock->covers(oid)) return nullptr;
    return o;
  }
};

View make_view(const DocState& st, const Heads* at) {
  View v{st, std::nullopt};
  if (at) v.clock = detail::clock_at(st, *at);
  return v;
}

bool is_map(const Object& o) { return o.type == ObjType::Map || o.type == ObjType::Table; }

Value materialize(const View& v, const Op& op, const Op* group, size_t n) {
  if (detail::is_make(op.action))
    return Value{ObjectRef{ObjId{op.id.counter, op.id.actor}, detail::make_type(op.action)}};
  if (std::holds_alternative<Counter>(op.value)) return Value{ScalarValue{Counter{v.st.ops.counter_value(op, group, n, v.c())}}};
  return Value{op.value};
}

// Visible values of one group of ops (a map key or a list element), Lamport order.
std::vector<Value> group_values(const View& v, const Op* group, size_t n, bool winner_only) {
  std::vector<Value> out;
  const Op* winner = nullptr;
  for (size_t i = 0; i < n; ++i)
    if (v.st.ops.op_visible(group[i], group, n, v.c())) {
      if (winner_only) winner = &group[i];
      else out.push_back(materialize(v, group[i], group, n));
    }
  if (winner) out.push_back(materialize(v, *winner, group, n));
  return out;
}

std::vector<Value> key_values(const View& v, ObjId obj, std::string_view key, bool winner_only) {
  const Object* o = v.object(obj);
  if (!o || !is_map(*o)) return {};
  auto k = v.st.ops.find_key(key);
  if (!k) return {};
  auto [lo, hi] = v.st.ops.map_range(*o, *k);
  return group_values(v, o->map_ops.data() + lo, hi - lo, winner_only);
}

std::vector<Value> index_values(const View& v, ObjId obj, size_t index, bool winner_only) {
  const Object* o = v.object(obj);
  if (!o || is_map(*o)) return {};
  auto pos = v.st.ops.nth(*o, index, v.c());
  if (!pos) return {};
  const auto& b = *o->blocks[pos->block];
  size_t e = v.st.ops.group_end(b, pos->offset);
  return group_values(v, b.ops.data() + pos->offset, e - pos->offset, winner_only);
}

}  // namespace

Document::Document() : m_state(std::make_unique<DocState>()) { m_state->actor = random_actor(); }
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

const ActorId& Document::actor() const { return m_state->actor; }
void Document::set_actor(ActorId actor) { m_state->actor = std::move(actor); }

Result<Document> Document::load(ByteView bytes) {
  Document doc;
  Reader r(bytes);
  std::vector<Change> changes;
  bool empty = true;
  while (!r.done()) {
    KIVO_TRY_ASSIGN(chunk, read_chunk(r));
    if (chunk.type == ChunkType::Document) {
      if (empty) {
        KIVO_TRY(detail::load_document(*doc.m_state, chunk.body));
      } else {
        Document other;
        KIVO_TRY(detail::load_document(*other.m_state, chunk.body));
        for (const auto& rec : other.m_state->changes) {
          KIVO_TRY_ASSIGN(c, decode_change(rec.bytes));
          changes.push_back(std::move(c));
        }
      }
    } else {
      KIVO_TRY_ASSIGN(c, decode_change(chunk.whole));
      changes.push_back(std::move(c));
    }
    empty = false;
  }
  KIVO_TRY(detail::apply_changes(*doc.m_state, std::move(changes)));
  doc.m_state->saved_upto = doc.m_state->changes.size();
  return doc;
}

Status Document::load_incremental(ByteView bytes) {
  Reader r(bytes);
  std::vector<Change> changes;
  while (!r.done()) {
    KIVO_TRY_ASSIGN(chunk, read_chunk(r));
    if (chunk.type == ChunkType::Document) {
      Document other;
      KIVO_TRY(detail::load_document(*other.m_state, chunk.body));
      for (const auto& rec : other.m_state->changes) {
        if (has_change(rec.hash)) continue;
        KIVO_TRY_ASSIGN(c, decode_change(rec.bytes));
        changes.push_back(std::move(c));
      }
    } else {
      KIVO_TRY_ASSIGN(c, decode_change(chunk.whole));
      changes.push_back(std::move(c));
    }
  }
  return detail::apply_changes(*m_state, std::move(changes));
}

Document Document::clone() const {
  auto loaded = load(save());
  Document doc = loaded.ok() ? std::move(loaded).value() : Document();
  doc.m_state->queue = m_state->queue;
  doc.m_state->actor = m_state->actor;
  return doc;
}

std::optional<Value> Document::get(ObjId obj, std::string_view key, const Heads* at) const {
  auto v = key_values(make_view(*m_state, at), obj, key, true);
  if (v.empty()) return std::nullopt;
  return std::move(v.back());
}

std::optional<Value> Document::get(ObjId obj, size_t index, const Heads* at) const {
  auto v = index_values(make_view(*m_state, at), obj, index, true);
  if (v.empty()) return std::nullopt;
  return std::move(v.back());
}

std::vector<Value> Document::get_all(ObjId obj, std::string_view key, const Heads* at) const {
  return key_values(make_view(*m_state, at), obj, key, false);
}

std::vector<Value> Document::get_all(ObjId obj, size_t index, const Heads* at) const {
  return index_values(make_view(*m_state, at), obj, index, false);
}

std::vector<std::string> Document::keys(ObjId obj, const Heads* at) const {
  View v = make_view(*m_state, at);
  std::vector<std::string> out;
  const Object* o = v.object(obj);
  if (!o || !is_map(*o)) return out;
  const auto& ops = o->map_ops;
  for (size_t i = 0; i < ops.size();) {
    size_t e = i + 1;
    while (e < ops.size() && ops[e].key == ops[i].key) ++e;
    for (size_t j = i; j < e; ++j)
      if (m_state->ops.op_visible(ops[j], ops.data() + i, e - i, v.c())) {
        out.push_back(m_state->ops.keys[ops[i].key]);
        break;
      }
    i = e;
  }
  return out;
}

size_t Document::length(ObjId obj, const Heads* at) const {
  View v = make_view(*m_state, at);
  const Object* o = v.object(obj);
  if (!o) return 0;
  if (is_map(*o)) return keys(obj, at).size();
  return m_state->ops.length(*o, v.c());
}

std::string Document::text(ObjId obj, const Heads* at) const {
  View v = make_view(*m_state, at);
  const Object* o = v.object(obj);
  if (!o || o->type != ObjType::Text) return {};
  return m_state->ops.text(*o, v.c());
}

std::optional<ObjType> Document::object_type(ObjId obj) const {
  const Object* o = m_state->ops.object(OpId{obj.counter, obj.actor});
  if (!o) return std::nullopt;
  return o->type;
}

void Document::for_each_element(ObjId list, const std::function<void(size_t, const Value&)>& f) const {
  View v = make_view(*m_state, nullptr);
  const Object* o = v.object(list);
  if (!o || is_map(*o)) return;
  size_t index = 0;
  for (const auto& b : o->blocks) {
    if (b->visible == 0) continue;
    for (size_t i = 0; i < b->ops.size();) {
      size_t e = m_state->ops.group_end(*b, i);
      auto vals = group_values(v, b->ops.data() + i, e - i, true);
      if (!vals.empty()) f(index++, vals.back());
      i = e;
    }
  }
}

void Document::for_each_entry(ObjId map, const std::function<void(const std::string&, const Value&)>& f) const {
  View v = make_view(*m_state, nullptr);
  const Object* o = v.object(map);
  if (!o || !is_map(*o)) return;
  const auto& ops = o->map_ops;
  for (size_t i = 0; i < ops.size();) {
    size_t e = i + 1;
    while (e < ops.size() && ops[e].key == ops[i].key) ++e;
    auto vals = group_values(v, ops.data() + i, e - i, true);
    if (!vals.empty()) f(m_state->ops.keys[ops[i].key], vals.back());
    i = e;
  }
}

Heads Document::heads() const { return m_state->heads; }

std::vector<ChangeInfo> Document::changes() const {
  std::vector<ChangeInfo> out;
  for (const auto& r : m_state->changes) {
    ChangeInfo i;
    i.hash = r.hash;
    i.actor = m_state->ops.actors[r.actor];
    i.seq = r.seq;
    i.start_op = r.start_op;
    i.max_op = r.max_op;
    i.time = r.time;
    i.message = r.message;
    for (uint32_t d : r.deps) i.deps.push_back(m_state->changes[d].hash);
    std::sort(i.deps.begin(), i.deps.end());
    out.push_back(std::move(i));
  }
  return out;
}

std::vector<Bytes> Document::get_changes(const Heads& have_heads) const {
  auto seen = detail::ancestors(*m_state, have_heads);
  std::vector<Bytes> out;
  for (size_t i = 0; i < seen.size(); ++i)
    if (!seen[i]) out.push_back(m_state->changes[i].bytes);
  return out;
}

std::optional<Bytes> Document::get_change(const ChangeHash& hash) const {
  auto it = m_state->by_hash.find(hash);
  if (it == m_state->by_hash.end()) return std::nullopt;
  return m_state->changes[it->second].bytes;
}

bool Document::has_change(const ChangeHash& hash) const { return m_state->by_hash.count(hash) > 0; }

std::vector<ChangeHash> Document::missing_deps(const Heads& heads) const {
  std::vector<ChangeHash> out;
  std::vector<ChangeHash> queued;
  for (const auto& q : m_state->queue) queued.push_back(q.hash);
  for (const auto& q : m_state->queue)
    for (const auto& d : q.deps)
      if (!has_change(d) && std::find(queued.begin(), queued.end(), d) == queued.end()) out.push_back(d);
  for (const auto& h : heads)
    if (!has_change(h)) out.push_back(h);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

Transaction Document::begin() { return Transaction(*this); }

Bytes Document::save() const {
  Bytes out = detail::save_document(*m_state);
  m_state->saved_upto = m_state->changes.size();
  return out;
}

Bytes Document::save_incremental() {
  Bytes out;
  for (size_t i = m_state->saved_upto; i < m_state->changes.size(); ++i) {
    const auto& b = m_state->changes[i].bytes;
    out.insert(out.end(), b.begin(), b.end());
  }
  m_state->saved_upto = m_state->changes.size();
  return out;
}

Status Document::apply_changes(const std::vector<Bytes>& changes) {
  std::vector<Change> decoded;
  decoded.reserve(changes.size());
  for (const auto& b : changes) {
    KIVO_TRY_ASSIGN(c, decode_change(b));
    decoded.push_back(std::move(c));
  }
  return detail::apply_changes(*m_state, std::move(decoded));
}

Status Document::merge(const Document& other) {
  std::vector<Change> decoded;
  for (const auto& rec : other.m_state->changes) {
    if (has_change(rec.hash)) continue;
    KIVO_TRY_ASSIGN(c, decode_change(rec.bytes));
    decoded.push_back(std::move(c));
  }
  for (const auto& q : other.m_state->queue) decoded.push_back(q);
  return detail::apply_changes(*m_state, std::move(decoded));
}

}  // namespace kivo::doc
