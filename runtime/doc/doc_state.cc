#include "runtime/doc/doc_state.h"

#include <algorithm>
#include <unordered_set>

namespace kivo::doc::detail {

uint32_t actor_slot(DocState& st, const ActorId& a) {
  uint32_t i = st.ops.intern_actor(a);
  if (st.actor_changes.size() <= i) st.actor_changes.resize(i + 1);
  return i;
}

namespace {

void add_head(DocState& st, const ChangeRecord& rec) {
  Heads next;
  for (const auto& h : st.heads) {
    bool dep = false;
    for (uint32_t d : rec.deps) dep = dep || st.changes[d].hash == h;
    if (!dep) next.push_back(h);
  }
  next.push_back(rec.hash);
  std::sort(next.begin(), next.end());
  st.heads = std::move(next);
}

Status apply_one(DocState& st, const Change& c, std::vector<DocOp>& undo) {
  uint32_t author = actor_slot(st, c.actor);
  auto& seqs = st.actor_changes[author];
  if (c.seq != seqs.size() + 1) return make_error("change out of sequence for its actor");
  if (!seqs.empty() && c.start_op <= st.changes[seqs.back()].max_op) return make_error("change reuses operation ids");
  std::vector<uint32_t> idx{author};
  for (const auto& a : c.other_actors) idx.push_back(actor_slot(st, a));
  auto tr = [&](const OpId& id) { return OpId{id.counter, idx[id.actor]}; };
  for (size_t i = 0; i < c.ops.size(); ++i) {
    const ChangeOp& cop = c.ops[i];
    DocOp d;
    d.obj = cop.obj.counter == 0 ? OpId{} : tr(cop.obj);
    d.id = OpId{c.start_op + i, author};
    d.elem_key = cop.elem_key;
    if (!cop.elem_key) d.key = st.ops.intern_key(cop.key);
    d.elem = cop.elem.counter == 0 ? OpId{} : tr(cop.elem);
    d.insert = cop.insert;
    d.action = cop.action;
    d.value = cop.value;
    for (const auto& p : cop.pred) d.pred.push_back(tr(p));
    KIVO_TRY(st.ops.apply(d));
    undo.push_back(std::move(d));
  }
  ChangeRecord rec;
  rec.hash = c.hash;
  rec.actor = author;
  rec.seq = c.seq;
  rec.start_op = c.start_op;
  rec.max_op = c.start_op + c.ops.size() - 1;
  rec.time = c.time;
  rec.message = c.message;
  for (const auto& d : c.deps) rec.deps.push_back(st.by_hash.at(d));
  rec.extra = c.extra;
  rec.bytes = c.bytes;
  uint32_t index = uint32_t(st.changes.size());
  st.by_hash.emplace(rec.hash, index);
  seqs.push_back(index);
  st.changes.push_back(std::move(rec));
  add_head(st, st.changes.back());
  return {};
}

}  // namespace

Status apply_changes(DocState& st, std::vector<Change> changes) {
  if (st.in_transaction) return make_error("cannot apply changes during a transaction");
  size_t n_changes = st.changes.size();
  Heads saved_heads = st.heads;
  uint64_t saved_max = st.ops.max_op;
  std::vector<Change> queue = st.queue;
  std::unordered_set<ChangeHash, ChangeHashHash> queued;
  for (const auto& q : queue) queued.insert(q.hash);
  for (auto& c : changes) {
    if (st.by_hash.count(c.hash) || !queued.insert(c.hash).second) continue;
    queue.push_back(std::move(c));
  }
  std::vector<DocOp> undo;
  Status status;
  bool progress = true;
  while (progress && status.ok() && !queue.empty()) {
    progress = false;
    std::vector<Change> waiting;
    for (auto& q : queue) {
      bool ready = status.ok();
      for (const auto& d : q.deps) ready = ready && st.by_hash.count(d);
      if (ready) {
        status = apply_one(st, q, undo);
        if (status.ok()) {
          progress = true;
          continue;
        }
      }
      waiting.push_back(std::move(q));
    }
    queue = std::move(waiting);
  }
  if (!status.ok()) {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) st.ops.undo(*it);
    for (size_t i = n_changes; i < st.changes.size(); ++i) st.by_hash.erase(st.changes[i].hash);
    st.changes.resize(n_changes);
    for (auto& seqs : st.actor_changes)
      while (!seqs.empty() && seqs.back() >= n_changes) seqs.pop_back();
    st.heads = std::move(saved_heads);
    st.ops.max_op = saved_max;
    return status;
  }
  st.queue = std::move(queue);
  return {};
}

void record_change(DocState& st, Change&& c) {
  uint32_t author = actor_slot(st, c.actor);
  ChangeRecord rec;
  rec.hash = c.hash;
  rec.actor = author;
  rec.seq = c.seq;
  rec.start_op = c.start_op;
  rec.max_op = c.start_op + c.ops.size() - 1;
  rec.time = c.time;
  rec.message = std::move(c.message);
  for (const auto& d : c.deps) rec.deps.push_back(st.by_hash.at(d));
  rec.bytes = std::move(c.bytes);
  uint32_t index = uint32_t(st.changes.size());
  st.by_hash.emplace(rec.hash, index);
  st.actor_changes[author].push_back(index);
  st.changes.push_back(std::move(rec));
  add_head(st, st.changes.back());
}

std::vector<bool> ancestors(const DocState& st, const Heads& heads) {
  std::vector<bool> seen(st.changes.size());
  std::vector<uint32_t> stack;
  for (const auto& h : heads) {
    auto it = st.by_hash.find(h);
    if (it != st.by_hash.end()) stack.push_back(it->second);
  }
  while (!stack.empty()) {
    uint32_t i = stack.back();
    stack.pop_back();
    if (seen[i]) continue;
    seen[i] = true;
    for (uint32_t d : st.changes[i].deps) stack.push_back(d);
  }
  return seen;
}

Clock clock_at(const DocState& st, const Heads& heads) {
  Clock c;
  c.max_op.assign(st.ops.actors.size(), 0);
  auto seen = ancestors(st, heads);
  for (size_t i = 0; i < seen.size(); ++i)
    if (seen[i]) {
      const auto& r = st.changes[i];
      c.max_op[r.actor] = std::max(c.max_op[r.actor], r.max_op);
    }
  return c;
}

}  // namespace kivo::doc::detail
