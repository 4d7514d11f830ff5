// The document chunk: every operation of the document in object order with successor
// lists, plus the metadata of every change. Loading rebuilds the changes (and their
// hashes) from the operations and checks them against the stored heads.
#include <algorithm>
#include <map>
#include <numeric>

#include "runtime/doc/doc_state.h"

namespace kivo::doc::detail {

namespace {
constexpr uint32_t kChActor = column_spec(0, ColumnType::Actor);
constexpr uint32_t kChSeq = column_spec(0, ColumnType::Delta);
constexpr uint32_t kChMaxOp = column_spec(1, ColumnType::Delta);
constexpr uint32_t kChTime = column_spec(2, ColumnType::Delta);
constexpr uint32_t kChMessage = column_spec(3, ColumnType::String);
constexpr uint32_t kChDepsGroup = column_spec(4, ColumnType::Group);
constexpr uint32_t kChDepsIndex = column_spec(4, ColumnType::Delta);
constexpr uint32_t kChExtraMeta = column_spec(5, ColumnType::ValueMeta);
constexpr uint32_t kChExtraRaw = column_spec(5, ColumnType::ValueRaw);

constexpr uint32_t kObjActor = column_spec(0, ColumnType::Actor);
constexpr uint32_t kObjCtr = column_spec(0, ColumnType::Uleb);
constexpr uint32_t kKeyActor = column_spec(1, ColumnType::Actor);
constexpr uint32_t kKeyCtr = column_spec(1, ColumnType::Delta);
constexpr uint32_t kKeyStr = column_spec(1, ColumnType::String);
constexpr uint32_t kIdActor = column_spec(2, ColumnType::Actor);
constexpr uint32_t kIdCtr = column_spec(2, ColumnType::Delta);
constexpr uint32_t kInsert = column_spec(3, ColumnType::Boolean);
constexpr uint32_t kAction = column_spec(4, ColumnType::Uleb);
constexpr uint32_t kValMeta = column_spec(5, ColumnType::ValueMeta);
constexpr uint32_t kValRaw = column_spec(5, ColumnType::ValueRaw);
constexpr uint32_t kSuccGroup = column_spec(8, ColumnType::Group);
constexpr uint32_t kSuccActor = column_spec(8, ColumnType::Actor);
constexpr uint32_t kSuccCtr = column_spec(8, ColumnType::Delta);

struct OpWriter {
  RleEncoder<uint64_t> obj_actor, obj_ctr, key_actor, id_actor, action, val_meta, succ_group, succ_actor;
  DeltaEncoder key_ctr, id_ctr, succ_ctr;
  RleEncoder<std::string> key_str;
  BoolEncoder insert;
  Bytes val_raw;
  const std::vector<uint32_t>& remap;
  const OpSet& ops;

  void row(const OpId& obj, const Op& op, bool seq) {
    if (obj.counter == 0) {
      obj_actor.append_null();
      obj_ctr.append_null();
    } else {
      obj_actor.append(uint64_t(remap[obj.actor]));
      obj_ctr.append(obj.counter);
    }
    if (seq) {
      if (op.elem.counter == 0) key_actor.append_null();
      else key_actor.append(uint64_t(remap[op.elem.actor]));
      key_ctr.append(int64_t(op.elem.counter));
      key_str.append_null();
    } else {
      key_actor.append_null();
      key_ctr.append_null();
      key_str.append(ops.keys[op.key]);
    }
    id_actor.append(uint64_t(remap[op.id.actor]));
    id_ctr.append(int64_t(op.id.counter));
    insert.append(op.insert);
    action.append(uint64_t(op.action));
    encode_value(op.value, val_meta, val_raw);
    succ_group.append(uint64_t(op.succ.size()));
    for (const auto& s : op.succ) {
      succ_actor.append(uint64_t(remap[s.actor]));
      succ_ctr.append(int64_t(s.counter));
    }
  }
};

}  // namespace

Bytes save_document(const DocState& st) {
  const OpSet& ops = st.ops;
  std::vector<uint32_t> used;
  std::vector<bool> is_used(ops.actors.size());
  for (const auto& r : st.changes) is_used[r.actor] = true;
  for (uint32_t i = 0; i < is_used.size(); ++i)
    if (is_used[i]) used.push_back(i);
  std::sort(used.begin(), used.end(), [&](uint32_t a, uint32_t b) { return ops.actors[a] < ops.actors[b]; });
  std::vector<uint32_t> remap(ops.actors.size(), 0);
  for (uint32_t i = 0; i < used.size(); ++i) remap[used[i]] = i;

  Bytes body;
  write_uleb(body, used.size());
  for (uint32_t a : used) {
    write_uleb(body, ops.actors[a].size());
    write_bytes(body, ByteView(ops.actors[a]));
  }
  write_uleb(body, st.heads.size());
  for (const auto& h : st.heads) body.insert(body.end(), h.bytes.begin(), h.bytes.end());

  RleEncoder<uint64_t> c_actor, c_deps_group, c_extra_meta;
  DeltaEncoder c_seq, c_max_op, c_time, c_deps_index;
  RleEncoder<std::string> c_message;
  Bytes c_extra_raw;
  for (const auto& r : st.changes) {
    c_actor.append(uint64_t(remap[r.actor]));
    c_seq.append(int64_t(r.seq));
    c_max_op.append(int64_t(r.max_op));
    c_time.append(r.time);
    if (r.message.empty()) c_message.append_null();
    else c_message.append(r.message);
    c_deps_group.append(uint64_t(r.deps.size()));
    std::vector<uint32_t> deps = r.deps;
    std::sort(deps.begin(), deps.end(), [&](uint32_t a, uint32_t b) { return st.changes[a].hash < st.changes[b].hash; });
    for (uint32_t d : deps) c_deps_index.append(int64_t(d));
    c_extra_meta.append(uint64_t(r.extra.size() << 4) | 7);
    c_extra_raw.insert(c_extra_raw.end(), r.extra.begin(), r.extra.end());
  }
  std::vector<Column> change_cols;
  change_cols.push_back({kChActor, c_actor.finish()});
  change_cols.push_back({kChSeq, c_seq.finish()});
  change_cols.push_back({kChMaxOp, c_max_op.finish()});
  change_cols.push_back({kChTime, c_time.finish()});
  change_cols.push_back({kChMessage, c_message.finish()});
  change_cols.push_back({kChDepsGroup, c_deps_group.finish()});
  change_cols.push_back({kChDepsIndex, c_deps_index.finish()});
  change_cols.push_back({kChExtraMeta, c_extra_meta.finish()});
  change_cols.push_back({kChExtraRaw, std::move(c_extra_raw)});

  std::vector<OpId> objs;
  objs.reserve(ops.objects.size());
  for (const auto& [id, obj] : ops.objects) objs.push_back(id);
  std::sort(objs.begin(), objs.end(), [&](const OpId& a, const OpId& b) {
    if (a.counter != b.counter) return a.counter < b.counter;
    if (a.counter == 0) return false;
    return ops.actors[a.actor] < ops.actors[b.actor];
  });
  OpWriter w{.remap = remap, .ops = ops};
  for (const OpId& id : objs) {
    const Object& obj = ops.objects.at(id);
    for (const Op& op : obj.map_ops) w.row(id, op, false);
    for (const auto& b : obj.blocks)
      for (const Op& op : b->ops) w.row(id, op, true);
  }
  std::vector<Column> op_cols;
  op_cols.push_back({kObjActor, w.obj_actor.finish()});
  op_cols.push_back({kObjCtr, w.obj_ctr.finish()});
  op_cols.push_back({kKeyActor, w.key_actor.finish()});
  op_cols.push_back({kKeyCtr, w.key_ctr.finish()});
  op_cols.push_back({kKeyStr, w.key_str.finish()});
  op_cols.push_back({kIdActor, w.id_actor.finish()});
  op_cols.push_back({kIdCtr, w.id_ctr.finish()});
  op_cols.push_back({kInsert, w.insert.finish()});
  op_cols.push_back({kAction, w.action.finish()});
  op_cols.push_back({kValMeta, w.val_meta.finish()});
  op_cols.push_back({kValRaw, std::move(w.val_raw)});
  op_cols.push_back({kSuccGroup, w.succ_group.finish()});
  op_cols.push_back({kSuccActor, w.succ_actor.finish()});
  op_cols.push_back({kSuccCtr, w.succ_ctr.finish()});

  Bytes cmeta, cdata, ometa, odata;
  write_columns(cmeta, cdata, std::move(change_cols), true);
  write_columns(ometa, odata, std::move(op_cols), true);
  body.insert(body.end(), cmeta.begin(), cmeta.end());
  body.insert(body.end(), ometa.begin(), ometa.end());
  body.insert(body.end(), cdata.begin(), cdata.end());
  body.insert(body.end(), odata.begin(), odata.end());
  for (const auto& h : st.heads) write_uleb(body, st.by_hash.at(h));
  return frame_chunk(ChunkType::Document, body, nullptr);
}

// --- Loading -----------------------------------------------------------------

namespace {

struct Row {
  OpId obj;
  bool elem_key = false;
  uint32_t key = 0;
  OpId elem;
  OpId id;
  bool insert = false;
  Action action = Action::Set;
  ScalarValue value;
  std::vector<OpId> succ;
};

struct MetaRow {
  uint32_t actor;
  uint64_t seq, max_op;
  int64_t time;
  std::string message;
  std::vector<uint64_t> deps;
  Bytes extra;
};

// Number of values in a uLEB run-length column, without decoding them.
uint64_t count_values(ByteView data) {
  Reader r(data);
  uint64_t n = 0;
  while (!r.done() && !r.failed()) {
    int64_t count = r.sleb();
    if (count > 0) {
      r.uleb();
      n += uint64_t(count);
    } else if (count < 0 && count > -(int64_t(1) << 40)) {
      for (int64_t i = 0; i < -count && !r.failed(); ++i) r.uleb();
      n += uint64_t(-count);
    } else {
      n += r.uleb();
    }
    if (n > kMaxOpsPerChunk) break;
  }
  return n;
}

Status bad(const char* what) { return make_error(std::string("damaged document: ") + what); }

}  // namespace

Status load_document(DocState& st, ByteView body) {
  OpSet& ops = st.ops;
  Reader r(body);
  uint64_t nactors = r.uleb();
  if (r.failed() || nactors > r.remaining()) return bad("actors");
  for (uint64_t i = 0; i < nactors; ++i) {
    uint64_t n = r.uleb();
    ByteView a = r.take(n);
    if (r.failed()) return bad("actors");
    ActorId actor(a.begin(), a.end());
    if (ops.actor_index.count(std::string(actor.begin(), actor.end()))) return bad("duplicate actor");
    actor_slot(st, actor);
  }
  uint64_t nheads = r.uleb();
  if (r.failed() || nheads > r.remaining() / 32) return bad("heads");
  Heads heads;
  for (uint64_t i = 0; i < nheads; ++i) {
    ByteView h = r.take(32);
    ChangeHash ch;
    std::copy(h.begin(), h.end(), ch.bytes.begin());
    heads.push_back(ch);
  }
  std::sort(heads.begin(), heads.end());
  std::vector<ColumnMeta> cmeta, ometa;
  if (!read_column_meta(r, cmeta) || !read_column_meta(r, ometa)) return bad("column metadata");
  std::vector<Column> ccols, ocols;
  if (!read_column_data(r, cmeta, ccols) || !read_column_data(r, ometa, ocols)) return bad("column data");

  // Change metadata.
  std::vector<MetaRow> metas;
  {
    RleDecoder<uint64_t> actor(find_column(ccols, kChActor)), deps_group(find_column(ccols, kChDepsGroup)),
        extra_meta(find_column(ccols, kChExtraMeta));
    DeltaDecoder seq(find_column(ccols, kChSeq)), max_op(find_column(ccols, kChMaxOp)),
        time(find_column(ccols, kChTime)), deps_index(find_column(ccols, kChDepsIndex));
    RleDecoder<std::string> message(find_column(ccols, kChMessage));
    Reader extra_raw(find_column(ccols, kChExtraRaw));
    uint64_t total_deps = 0;
    while (!actor.done()) {
      if (metas.size() >= max_ops_for(body.size())) return bad("too many changes");
      MetaRow m;
      auto a = actor.next();
      auto s = seq.next();
      auto mo = max_op.next();
      auto t = time.next();
      if (!a || *a >= nactors || !s || *s <= 0 || !mo || *mo < 0 || uint64_t(*mo) > kMaxCounter) return bad("change metadata");
      m.actor = uint32_t(*a);
      m.seq = uint64_t(*s);
      m.max_op = uint64_t(*mo);
      m.time = t.value_or(0);
      m.message = message.next().value_or("");
      uint64_t nd = deps_group.next().value_or(0);
      total_deps += nd;
      if (total_deps > max_ops_for(body.size())) return bad("change dependencies");
      for (uint64_t i = 0; i < nd; ++i) {
        auto d = deps_index.next();
        if (!d || *d < 0) return bad("change dependencies");
        m.deps.push_back(uint64_t(*d));
      }
      uint64_t em = extra_meta.next().value_or(0);
      ByteView e = extra_raw.take(em >> 4);
      m.extra.assign(e.begin(), e.end());
      metas.push_back(std::move(m));
    }
    if (actor.error() || seq.error() || max_op.error() || time.error() || message.error() || deps_group.error() ||
        deps_index.error() || extra_meta.error() || extra_raw.failed())
      return bad("change columns");
    for (const auto& m : metas)
      for (uint64_t d : m.deps)
        if (d >= metas.size()) return bad("change dependencies");
  }

  // Operations.
  std::vector<Row> rows;
  const uint64_t op_limit = max_ops_for(body.size());
  rows.reserve(std::min<uint64_t>(op_limit, count_values(find_column(ocols, kAction))));
  {
    RleDecoder<uint64_t> obj_actor(find_column(ocols, kObjActor)), obj_ctr(find_column(ocols, kObjCtr)),
        key_actor(find_column(ocols, kKeyActor)), id_actor(find_column(ocols, kIdActor)),
        action(find_column(ocols, kAction)), val_meta(find_column(ocols, kValMeta)),
        succ_group(find_column(ocols, kSuccGroup)), succ_actor(find_column(ocols, kSuccActor));
    DeltaDecoder key_ctr(find_column(ocols, kKeyCtr)), id_ctr(find_column(ocols, kIdCtr)),
        succ_ctr(find_column(ocols, kSuccCtr));
    RleDecoder<std::string> key_str(find_column(ocols, kKeyStr));
    BoolDecoder insert(find_column(ocols, kInsert));
    Reader val_raw(find_column(ocols, kValRaw));
    uint64_t total_succ = 0;
    while (!action.done()) {
      if (rows.size() >= op_limit) return bad("too many operations");
      Row row;
      auto oa = obj_actor.next();
      auto oc = obj_ctr.next();
      if (oa.has_value() != oc.has_value()) return bad("object id");
      if (oa) {
        if (*oa >= nactors || *oc == 0 || *oc > kMaxCounter) return bad("object id");
        row.obj = OpId{*oc, uint32_t(*oa)};
      }
      auto ka = key_actor.next();
      auto kc = key_ctr.next();
      auto ks = key_str.next();
      if (ks) {
        if (ka || kc) return bad("key");
        row.key = ops.intern_key(*ks);
      } else if (kc) {
        row.elem_key = true;
        if (*kc < 0 || uint64_t(*kc) > kMaxCounter) return bad("key");
        if (*kc > 0) {
          if (!ka || *ka >= nactors) return bad("key");
          row.elem = OpId{uint64_t(*kc), uint32_t(*ka)};
        } else if (ka) {
          return bad("key");
        }
      } else {
        return bad("missing key");
      }
      auto ia = id_actor.next();
      auto ic = id_ctr.next();
      if (!ia || *ia >= nactors || !ic || *ic <= 0 || uint64_t(*ic) > kMaxCounter) return bad("operation id");
      row.id = OpId{uint64_t(*ic), uint32_t(*ia)};
      row.insert = insert.next();
      auto act = action.next();
      if (!act || *act > kMaxAction || *act == uint64_t(Action::Delete)) return bad("action");
      row.action = Action(*act);
      if (!decode_value(val_meta.next().value_or(0), val_raw, row.value)) return bad("value");
      uint64_t ns = succ_group.next().value_or(0);
      total_succ += ns;
      if (total_succ > op_limit) return bad("successors");
      for (uint64_t i = 0; i < ns; ++i) {
        auto sa = succ_actor.next();
        auto sc = succ_ctr.next();
        if (!sa || *sa >= nactors || !sc || *sc <= 0 || uint64_t(*sc) > kMaxCounter) return bad("successor");
        row.succ.push_back(OpId{uint64_t(*sc), uint32_t(*sa)});
      }
      if (row.insert && !row.elem_key) return bad("insert into a map");
      rows.push_back(std::move(row));
    }
    if (obj_actor.error() || obj_ctr.error() || key_actor.error() || key_ctr.error() || key_str.error() ||
        id_actor.error() || id_ctr.error() || insert.error() || action.error() || val_meta.error() ||
        succ_group.error() || succ_actor.error() || succ_ctr.error() || val_raw.failed())
      return bad("operation columns");
  }

  // Rebuild the changes from the operations.
  size_t nchanges = metas.size();
  std::vector<std::vector<uint32_t>> by_actor(nactors);
  for (uint32_t i = 0; i < nchanges; ++i) by_actor[metas[i].actor].push_back(i);
  for (auto& list : by_actor) {
    std::sort(list.begin(), list.end(), [&](uint32_t a, uint32_t b) { return metas[a].seq < metas[b].seq; });
    for (size_t i = 0; i < list.size(); ++i) {
      if (metas[list[i]].seq != i + 1) return bad("change sequence numbers");
      if (i > 0 && metas[list[i]].max_op < metas[list[i - 1]].max_op) return bad("change op counters");
    }
  }
  auto find_change = [&](const OpId& id) -> int64_t {
    const auto& list = by_actor[id.actor];
    auto it = std::lower_bound(list.begin(), list.end(), id.counter,
                               [&](uint32_t c, uint64_t ctr) { return metas[c].max_op < ctr; });
    return it == list.end() ? -1 : int64_t(*it);
  };
  std::vector<std::vector<uint32_t>> bucket(nchanges);
  for (uint32_t i = 0; i < rows.size(); ++i) {
    int64_t c = find_change(rows[i].id);
    if (c < 0) return bad("operation outside every change");
    bucket[c].push_back(i);
  }
  for (auto& b : bucket) {
    std::sort(b.begin(), b.end(), [&](uint32_t x, uint32_t y) { return rows[x].id.counter < rows[y].id.counter; });
    for (size_t i = 1; i < b.size(); ++i)
      if (rows[b[i]].id.counter == rows[b[i - 1]].id.counter) return bad("duplicate operation id");
  }
  std::vector<std::vector<OpId>> preds(rows.size());
  std::vector<std::map<uint64_t, ChangeOp>> deletes(nchanges);
  auto to_local_free = [](const OpId& id) { return id; };
  (void)to_local_free;
  for (uint32_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    for (const OpId& s : row.succ) {
      int64_t c = find_change(s);
      if (c < 0) return bad("successor outside every change");
      const auto& b = bucket[c];
      auto it = std::lower_bound(b.begin(), b.end(), s.counter,
                                 [&](uint32_t x, uint64_t ctr) { return rows[x].id.counter < ctr; });
      if (it != b.end() && rows[*it].id.counter == s.counter) {
        preds[*it].push_back(row.id);
      } else {
        auto [dit, fresh] = deletes[c].try_emplace(s.counter);
        ChangeOp& d = dit->second;
        if (fresh) {
          d.obj = row.obj;
          d.elem_key = row.elem_key;
          if (!row.elem_key) d.key = ops.keys[row.key];
          d.elem = row.elem_key ? (row.insert ? row.id : row.elem) : OpId{};
          d.action = Action::Delete;
          d.value = Null{};
        }
        d.pred.push_back(row.id);
      }
    }
  }
  // Order changes so that dependencies come first.
  std::vector<uint32_t> order;
  {
    std::vector<uint8_t> mark(nchanges, 0);
    for (uint32_t root = 0; root < nchanges; ++root) {
      if (mark[root]) continue;
      std::vector<std::pair<uint32_t, size_t>> stack{{root, 0}};
      mark[root] = 1;
      while (!stack.empty()) {
        auto& [c, next] = stack.back();
        if (next < metas[c].deps.size()) {
          uint32_t d = uint32_t(metas[c].deps[next++]);
          if (mark[d] == 1) return bad("cyclic change dependencies");
          if (mark[d] == 0) {
            mark[d] = 1;
            stack.push_back({d, 0});
          }
        } else {
          mark[c] = 2;
          order.push_back(c);
          stack.pop_back();
        }
      }
    }
  }
  std::vector<uint32_t> new_index(nchanges);
  for (uint32_t i = 0; i < nchanges; ++i) new_index[order[i]] = i;
  std::vector<uint64_t> prev_max(nchanges, 0);
  for (auto& list : by_actor)
    for (size_t i = 1; i < list.size(); ++i) prev_max[list[i]] = metas[list[i - 1]].max_op;

  std::vector<ChangeRecord> records(nchanges);
  std::vector<uint32_t> local(nactors, 0), prev_others;  // actor -> index in the change being rebuilt
  auto lamport = [&](const OpId& a, const OpId& b) { return ops.less(a, b); };
  for (uint32_t oi = 0; oi < nchanges; ++oi) {
    uint32_t ci = order[oi];
    const MetaRow& m = metas[ci];
    Change ch;
    ch.actor = ops.actors[m.actor];
    ch.seq = m.seq;
    ch.time = m.time;
    ch.message = m.message;
    ch.extra = m.extra;
    for (uint64_t d : m.deps) ch.deps.push_back(records[new_index[d]].hash);
    std::sort(ch.deps.begin(), ch.deps.end());
    ch.deps.erase(std::unique(ch.deps.begin(), ch.deps.end()), ch.deps.end());
    // Merge stored operations and deletions by counter.
    std::vector<std::pair<uint64_t, ChangeOp>> list;
    for (uint32_t ri : bucket[ci]) {
      const Row& row = rows[ri];
      ChangeOp op;
      op.obj = row.obj;
      op.elem_key = row.elem_key;
      if (!row.elem_key) op.key = ops.keys[row.key];
      op.elem = row.elem;
      op.insert = row.insert;
      op.action = row.action;
      op.value = row.value;
      op.pred = preds[ri];
      list.emplace_back(row.id.counter, std::move(op));
    }
    for (auto& [ctr, op] : deletes[ci]) list.emplace_back(ctr, std::move(op));
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    uint64_t n = list.size();
    if (n > m.max_op) return bad("change op counters");
    ch.start_op = m.max_op - n + 1;
    if (ch.start_op <= prev_max[ci]) return bad("change op counters");
    for (uint64_t i = 0; i < n; ++i)
      if (list[i].first != ch.start_op + i) return bad("operations missing from a change");
    // Actor table of the change: author first, then the others sorted.
    std::vector<uint32_t> others;
    auto note = [&](const OpId& id, bool present) {
      if (present && id.actor != m.actor) others.push_back(id.actor);
    };
    for (auto& [ctr, op] : list) {
      note(op.obj, op.obj.counter != 0);
      note(op.elem, op.elem_key && op.elem.counter != 0);
      for (const auto& p : op.pred) note(p, true);
    }
    std::sort(others.begin(), others.end(), [&](uint32_t a, uint32_t b) { return ops.actors[a] < ops.actors[b]; });
    others.erase(std::unique(others.begin(), others.end()), others.end());
    for (uint32_t a : prev_others) local[a] = 0;
    prev_others = others;
    for (uint32_t i = 0; i < others.size(); ++i) {
      local[others[i]] = i + 1;
      ch.other_actors.push_back(ops.actors[others[i]]);
    }
    auto loc = [&](const OpId& id) { return OpId{id.counter, local[id.actor]}; };
    for (auto& [ctr, op] : list) {
      std::sort(op.pred.begin(), op.pred.end(), lamport);
      if (op.obj.counter) op.obj = loc(op.obj);
      if (op.elem_key && op.elem.counter) op.elem = loc(op.elem);
      for (auto& p : op.pred) p = loc(p);
      ch.ops.push_back(std::move(op));
    }
    encode_change(ch);
    ChangeRecord& rec = records[oi];
    rec.hash = ch.hash;
    rec.actor = m.actor;
    rec.seq = m.seq;
    rec.start_op = ch.start_op;
    rec.max_op = m.max_op;
    rec.time = m.time;
    rec.message = m.message;
    for (uint64_t d : m.deps) rec.deps.push_back(new_index[d]);
    rec.extra = m.extra;
    rec.bytes = std::move(ch.bytes);
  }

  // Operation set, in the stored order.
  OpId current{};
  bool first = true;
  Object* obj = &ops.objects.at(OpId{});
  for (Row& row : rows) {
    if (first || !(row.obj == current)) {
      if (!first && !ops.less(current, row.obj) && !(current.counter == 0 && row.obj.counter != 0))
        return bad("objects out of order");
      first = false;
      current = row.obj;
      obj = ops.object(row.obj);
      if (!obj) return bad("operation on an unknown object");
    }
    Op op{row.id, row.elem, row.key, row.action, row.insert, std::move(row.value), std::move(row.succ)};
    std::sort(op.succ.begin(), op.succ.end(), lamport);
    bool seq = obj->type == ObjType::List || obj->type == ObjType::Text;
    if (seq != row.elem_key) return bad("operation key does not fit its object");
    if (!seq) {
      if (!obj->map_ops.empty()) {
        const Op& last = obj->map_ops.back();
        const std::string& lk = ops.keys[last.key];
        const std::string& k = ops.keys[op.key];
        if (k < lk || (k == lk && !ops.less(last.id, op.id))) return bad("map operations out of order");
      }
      obj->map_ops.push_back(std::move(op));
    } else {
      if (op.insert) {
        if (obj->blocks.empty() || obj->blocks.back()->ops.size() >= 128) {
          obj->blocks.push_back(std::make_unique<Block>());
          obj->blocks.back()->index = obj->blocks.size() - 1;
        }
        obj->blocks.back()->ops.push_back(std::move(op));
      } else {
        if (obj->blocks.empty()) return bad("list update before any element");
        auto& bops = obj->blocks.back()->ops;
        size_t start = bops.size() - 1;
        while (!bops[start].insert) --start;
        if (!(bops[start].id == op.elem) || !ops.less(bops.back().id, op.id)) return bad("list operations out of order");
        bops.push_back(std::move(op));
      }
    }
    if (is_make(row.action)) {
      if (ops.objects.count(row.id)) return bad("duplicate object");
      Object o;
      o.type = make_type(row.action);
      ops.objects.emplace(row.id, std::move(o));
      obj = ops.object(current);  // rehash may move nothing (node-based), kept for clarity
    }
    ops.max_op = std::max(ops.max_op, row.id.counter);
  }
  for (auto& [id, o] : ops.objects) {
    bool text = o.type == ObjType::Text;
    for (auto& b : o.blocks) {
      for (size_t i = 0; i < b->ops.size(); i = ops.group_end(*b, i)) {
        if (ops.elem_values(o, ElemPos{b->index, i}, nullptr).empty()) continue;
        b->visible += 1;
        b->width += text ? ops.elem_width(o, *b, i, nullptr) : 1;
      }
      o.visible += b->visible;
      o.width += b->width;
    }
  }
  for (const auto& rec : records) ops.max_op = std::max(ops.max_op, rec.max_op);

  // History and heads.
  st.changes = std::move(records);
  for (uint32_t i = 0; i < st.changes.size(); ++i) {
    st.by_hash.emplace(st.changes[i].hash, i);
    st.actor_changes[st.changes[i].actor].push_back(i);
  }
  for (auto& list : st.actor_changes)
    std::sort(list.begin(), list.end(), [&](uint32_t a, uint32_t b) { return st.changes[a].seq < st.changes[b].seq; });
  std::vector<bool> has_dependent(st.changes.size());
  for (const auto& c : st.changes)
    for (uint32_t d : c.deps) has_dependent[d] = true;
  Heads computed;
  for (uint32_t i = 0; i < st.changes.size(); ++i)
    if (!has_dependent[i]) computed.push_back(st.changes[i].hash);
  std::sort(computed.begin(), computed.end());
  if (computed != heads) return bad("heads do not match the changes (wrong hash)");
  st.heads = std::move(heads);
  return {};
}

}  // namespace kivo::doc::detail
