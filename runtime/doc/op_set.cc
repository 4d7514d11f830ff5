#include "runtime/doc/op_set.h"

#include <algorithm>

namespace kivo::doc::detail {

namespace {
constexpr size_t kBlockMax = 256;
constexpr size_t kLinearLocateBlocks = 4;

bool contains(const std::vector<OpId>& v, const OpId& id) {
  return std::find(v.begin(), v.end(), id) != v.end();
}
}  // namespace

size_t utf8_length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xc0) != 0x80;
  return n;
}

bool is_make(Action a) {
  return a == Action::MakeMap || a == Action::MakeList || a == Action::MakeText || a == Action::MakeTable;
}

ObjType make_type(Action a) {
  switch (a) {
    case Action::MakeList: return ObjType::List;
    case Action::MakeText: return ObjType::Text;
    case Action::MakeTable: return ObjType::Table;
    default: return ObjType::Map;
  }
}

OpSet::OpSet() { objects.emplace(OpId{}, Object{}); }

uint32_t OpSet::intern_actor(const ActorId& a) {
  std::string k(a.begin(), a.end());
  auto it = actor_index.find(k);
  if (it != actor_index.end()) return it->second;
  uint32_t i = uint32_t(actors.size());
  actors.push_back(a);
  actor_index.emplace(std::move(k), i);
  return i;
}

uint32_t OpSet::intern_key(std::string_view k) {
  auto it = key_index.find(std::string(k));
  if (it != key_index.end()) return it->second;
  uint32_t i = uint32_t(keys.size());
  keys.emplace_back(k);
  key_index.emplace(std::string(k), i);
  return i;
}

std::optional<uint32_t> OpSet::find_key(std::string_view k) const {
  auto it = key_index.find(std::string(k));
  if (it == key_index.end()) return std::nullopt;
  return it->second;
}

Object* OpSet::object(const OpId& id) {
  auto it = objects.find(id);
  return it == objects.end() ? nullptr : &it->second;
}

const Object* OpSet::object(const OpId& id) const {
  auto it = objects.find(id);
  return it == objects.end() ? nullptr : &it->second;
}

std::pair<size_t, size_t> OpSet::map_range(const Object& obj, uint32_t key) const {
  const std::string& k = keys[key];
  auto& ops = obj.map_ops;
  auto lo = std::lower_bound(ops.begin(), ops.end(), k, [&](const Op& op, const std::string& s) { return keys[op.key] < s; });
  auto hi = lo;
  while (hi != ops.end() && hi->key == key) ++hi;
  return {size_t(lo - ops.begin()), size_t(hi - ops.begin())};
}

void OpSet::add_succ(Op& target, const OpId& succ) {
  auto it = target.succ.begin();
  while (it != target.succ.end() && less(*it, succ)) ++it;
  target.succ.insert(it, succ);
}

void OpSet::remove_succ(Op& target, const OpId& succ) {
  auto it = std::find(target.succ.begin(), target.succ.end(), succ);
  if (it != target.succ.end()) target.succ.erase(it);
}

bool OpSet::op_visible(const Op& op, const Op* group, size_t n, const Clock* clock) const {
  if (op.action == Action::Increment || op.action == Action::Delete) return false;
  if (clock && !clock->covers(op.id)) return false;
  if (op.succ.empty()) return true;
  bool counter = std::holds_alternative<Counter>(op.value);
  for (const OpId& s : op.succ) {
    if (clock && !clock->covers(s)) continue;
    if (!counter) return false;
    bool inc = false;
    for (size_t i = 0; i < n; ++i)
      if (group[i].id == s) {
        inc = group[i].action == Action::Increment;
        break;
      }
    if (!inc) return false;
  }
  return true;
}

int64_t OpSet::counter_value(const Op& op, const Op* group, size_t n, const Clock* clock) const {
  int64_t v = std::get<Counter>(op.value).value;
  if (op.succ.empty()) return v;
  for (size_t i = 0; i < n; ++i) {
    const Op& g = group[i];
    if (g.action != Action::Increment || (clock && !clock->covers(g.id))) continue;
    if (!contains(op.succ, g.id)) continue;
    if (auto p = std::get_if<int64_t>(&g.value)) v += *p;
    else if (auto q = std::get_if<uint64_t>(&g.value)) v += int64_t(*q);
  }
  return v;
}

Value OpSet::value_of(const Op& op, const std::vector<const Op*>& group, const Clock* clock) const {
  (void)group;
  (void)clock;
  if (is_make(op.action)) return Value{ObjectRef{ObjId{op.id.counter, op.id.actor}, make_type(op.action)}};
  return Value{op.value};
}

size_t OpSet::group_end(const Block& b, size_t offset) const {
  size_t e = offset + 1;
  while (e < b.ops.size() && !b.ops[e].insert) ++e;
  return e;
}

std::vector<const Op*> OpSet::map_values(const Object& obj, uint32_t key, const Clock* clock) const {
  std::vector<const Op*> out;
  auto [lo, hi] = map_range(obj, key);
  const Op* g = obj.map_ops.data() + lo;
  for (size_t i = lo; i < hi; ++i)
    if (op_visible(obj.map_ops[i], g, hi - lo, clock)) out.push_back(&obj.map_ops[i]);
  return out;
}

std::vector<const Op*> OpSet::elem_values(const Object& obj, ElemPos pos, const Clock* clock) const {
  std::vector<const Op*> out;
  const Block& b = *obj.blocks[pos.block];
  size_t e = group_end(b, pos.offset);
  const Op* g = b.ops.data() + pos.offset;
  for (size_t i = pos.offset; i < e; ++i)
    if (op_visible(b.ops[i], g, e - pos.offset, clock)) out.push_back(&b.ops[i]);
  return out;
}

uint64_t OpSet::elem_width(const Object& obj, const Block& b, size_t offset, const Clock* clock) const {
  size_t e = group_end(b, offset);
  const Op* g = b.ops.data() + offset;
  const Op* winner = nullptr;
  for (size_t i = offset; i < e; ++i)
    if (op_visible(b.ops[i], g, e - offset, clock)) winner = &b.ops[i];
  if (!winner) return 0;
  if (obj.type == ObjType::Text && !is_make(winner->action))
    if (auto s = std::get_if<std::string>(&winner->value)) return utf8_length(*s);
  return 1;
}

namespace {
// Visible count and width of one element, for block bookkeeping.
struct ElemState {
  int64_t visible = 0, width = 0;
};
}  // namespace

std::optional<ElemPos> OpSet::nth(const Object& obj, uint64_t index, const Clock* clock) const {
  bool text = obj.type == ObjType::Text;
  for (size_t bi = 0; bi < obj.blocks.size(); ++bi) {
    const Block& b = *obj.blocks[bi];
    if (!clock) {
      uint64_t bw = text ? b.width : b.visible;
      if (index >= bw) {
        index -= bw;
        continue;
      }
    }
    for (size_t i = 0; i < b.ops.size(); i = group_end(b, i)) {
      uint64_t w = elem_width(obj, b, i, clock);
      if (!text && w) w = 1;
      if (index < w) return ElemPos{bi, i};
      index -= w;
    }
  }
  return std::nullopt;
}

uint64_t OpSet::length(const Object& obj, const Clock* clock) const {
  bool text = obj.type == ObjType::Text;
  if (!clock) return text ? obj.width : obj.visible;
  uint64_t n = 0;
  for (const auto& b : obj.blocks)
    for (size_t i = 0; i < b->ops.size(); i = group_end(*b, i)) {
      uint64_t w = elem_width(obj, *b, i, clock);
      n += text ? w : (w ? 1 : 0);
    }
  return n;
}

std::string OpSet::text(const Object& obj, const Clock* clock) const {
  std::string out;
  for (const auto& bp : obj.blocks) {
    const Block& b = *bp;
    if (!clock && b.visible == 0) continue;
    for (size_t i = 0; i < b.ops.size();) {
      size_t e = group_end(b, i);
      const Op* winner = nullptr;
      for (size_t j = i; j < e; ++j)
        if (op_visible(b.ops[j], b.ops.data() + i, e - i, clock)) winner = &b.ops[j];
      if (winner) {
        auto s = std::get_if<std::string>(&winner->value);
        if (s && !is_make(winner->action)) out += *s;
        else out += "\xef\xbf\xbc";  // object replacement character
      }
      i = e;
    }
  }
  return out;
}

void OpSet::ensure_index(Object& obj) {
  if (obj.indexed) return;
  obj.elem_block.clear();
  for (auto& b : obj.blocks)
    for (auto& op : b->ops)
      if (op.insert) obj.elem_block[op.id] = b.get();
  obj.indexed = true;
}

std::optional<ElemPos> OpSet::locate(Object& obj, const OpId& elem) {
  if (obj.blocks.size() <= kLinearLocateBlocks && !obj.indexed) {
    for (size_t bi = 0; bi < obj.blocks.size(); ++bi) {
      const auto& ops = obj.blocks[bi]->ops;
      for (size_t i = 0; i < ops.size(); ++i)
        if (ops[i].insert && ops[i].id == elem) return ElemPos{bi, i};
    }
    return std::nullopt;
  }
  ensure_index(obj);
  auto it = obj.elem_block.find(elem);
  if (it == obj.elem_block.end()) return std::nullopt;
  Block* b = it->second;
  for (size_t i = 0; i < b->ops.size(); ++i)
    if (b->ops[i].insert && b->ops[i].id == elem) return ElemPos{b->index, i};
  return std::nullopt;
}

void OpSet::adjust(Object& obj, Block& b, size_t, int64_t dvis, int64_t dwidth) {
  b.visible += dvis;
  b.width += dwidth;
  obj.visible += dvis;
  obj.width += dwidth;
}

void OpSet::maybe_split(Object& obj, size_t bi) {
  Block& b = *obj.blocks[bi];
  if (b.ops.size() <= kBlockMax) return;
  size_t cut = b.ops.size() / 2;
  while (cut < b.ops.size() && !b.ops[cut].insert) ++cut;
  if (cut == b.ops.size()) {
    cut = b.ops.size() / 2;
    while (cut > 0 && !b.ops[cut].insert) --cut;
    if (cut == 0) return;
  }
  auto nb = std::make_unique<Block>();
  nb->ops.assign(std::make_move_iterator(b.ops.begin() + cut), std::make_move_iterator(b.ops.end()));
  b.ops.erase(b.ops.begin() + cut, b.ops.end());
  bool text = obj.type == ObjType::Text;
  for (size_t i = 0; i < nb->ops.size(); i = group_end(*nb, i)) {
    uint64_t w = elem_width(obj, *nb, i, nullptr);
    size_t e = group_end(*nb, i);
    bool vis = false;
    for (size_t j = i; j < e; ++j) vis = vis || op_visible(nb->ops[j], nb->ops.data() + i, e - i, nullptr);
    if (vis) {
      nb->visible += 1;
      nb->width += text ? w : 1;
    }
  }
  b.visible -= nb->visible;
  b.width -= nb->width;
  Block* raw = nb.get();
  obj.blocks.insert(obj.blocks.begin() + bi + 1, std::move(nb));
  for (size_t i = bi + 1; i < obj.blocks.size(); ++i) obj.blocks[i]->index = i;
  if (obj.indexed)
    for (auto& op : raw->ops)
      if (op.insert) obj.elem_block[op.id] = raw;
}

Status OpSet::apply(const DocOp& op) {
  Object* obj = object(op.obj);
  if (!obj) return make_error("operation on an unknown object");
  if (is_make(op.action) && objects.count(op.id)) return make_error("duplicate object id");
  bool text = obj->type == ObjType::Text;
  if (obj->type == ObjType::Map || obj->type == ObjType::Table) {
    if (op.elem_key || op.insert) return make_error("list operation on a map");
    auto [lo, hi] = map_range(*obj, op.key);
    size_t at = lo;
    for (size_t i = lo; i < hi; ++i) {
      Op& t = obj->map_ops[i];
      if (t.id == op.id) return make_error("duplicate operation id");
      if (less(t.id, op.id)) at = i + 1;
      if (contains(op.pred, t.id)) add_succ(t, op.id);
    }
    if (op.action != Action::Delete) {
      Op n{op.id, OpId{}, op.key, op.action, false, op.value, {}};
      obj->map_ops.insert(obj->map_ops.begin() + at, std::move(n));
    }
  } else {
    if (!op.elem_key) return make_error("map operation on a list");
    if (op.insert) {
      if (op.action == Action::Delete || op.action == Action::Increment) return make_error("bad insert action");
      size_t bi = 0, off = 0;
      if (op.elem.counter != 0) {
        auto pos = locate(*obj, op.elem);
        if (!pos) return make_error("insert after an unknown list element");
        bi = pos->block;
        off = group_end(*obj->blocks[bi], pos->offset);
      }
      if (obj->blocks.empty()) {
        obj->blocks.push_back(std::make_unique<Block>());
      } else {
        for (;;) {
          size_t nbi = bi, noff = off;
          if (noff == obj->blocks[nbi]->ops.size()) {
            if (nbi + 1 >= obj->blocks.size()) break;
            ++nbi;
            noff = 0;
          }
          const Op& next = obj->blocks[nbi]->ops[noff];
          if (next.id == op.id) return make_error("duplicate operation id");
          if (!less(op.id, next.id)) break;
          bi = nbi;
          off = group_end(*obj->blocks[nbi], noff);
        }
      }
      Block& b = *obj->blocks[bi];
      Op n{op.id, op.elem, 0, op.action, true, op.value, {}};
      b.ops.insert(b.ops.begin() + off, std::move(n));
      if (obj->indexed) obj->elem_block[op.id] = &b;
      uint64_t w = text ? elem_width(*obj, b, off, nullptr) : 1;
      adjust(*obj, b, off, 1, int64_t(w));
      maybe_split(*obj, bi);
    } else {
      auto pos = locate(*obj, op.elem);
      if (!pos) return make_error("update of an unknown list element");
      Block& b = *obj->blocks[pos->block];
      size_t e = group_end(b, pos->offset);
      uint64_t w0 = elem_width(*obj, b, pos->offset, nullptr);
      bool v0 = !elem_values(*obj, *pos, nullptr).empty();
      size_t at = pos->offset + 1;
      for (size_t i = pos->offset; i < e; ++i) {
        if (b.ops[i].id == op.id) return make_error("duplicate operation id");
        if (less(b.ops[i].id, op.id)) at = i + 1;
      }
      for (size_t i = pos->offset; i < e; ++i)
        if (contains(op.pred, b.ops[i].id)) add_succ(b.ops[i], op.id);
      if (op.action != Action::Delete) {
        Op n{op.id, op.elem, 0, op.action, false, op.value, {}};
        b.ops.insert(b.ops.begin() + at, std::move(n));
      }
      uint64_t w1 = elem_width(*obj, b, pos->offset, nullptr);
      bool v1 = !elem_values(*obj, *pos, nullptr).empty();
      adjust(*obj, b, pos->offset, int64_t(v1) - int64_t(v0), text ? int64_t(w1) - int64_t(w0) : int64_t(v1) - int64_t(v0));
      maybe_split(*obj, pos->block);
    }
  }
  if (is_make(op.action)) {
    Object o;
    o.type = make_type(op.action);
    objects.emplace(op.id, std::move(o));
  }
  max_op = std::max(max_op, op.id.counter);
  return {};
}

void OpSet::undo(const DocOp& op) {
  Object* obj = object(op.obj);
  if (!obj) return;
  if (is_make(op.action)) objects.erase(op.id);
  bool text = obj->type == ObjType::Text;
  if (obj->type == ObjType::Map || obj->type == ObjType::Table) {
    auto [lo, hi] = map_range(*obj, op.key);
    for (size_t i = lo; i < hi; ++i)
      if (obj->map_ops[i].id == op.id) {
        obj->map_ops.erase(obj->map_ops.begin() + i);
        --hi;
        break;
      }
    for (size_t i = lo; i < hi; ++i)
      if (contains(op.pred, obj->map_ops[i].id)) remove_succ(obj->map_ops[i], op.id);
    return;
  }
  if (op.insert) {
    auto pos = locate(*obj, op.id);
    if (!pos) return;
    Block& b = *obj->blocks[pos->block];
    uint64_t w = elem_width(*obj, b, pos->offset, nullptr);
    bool v = !elem_values(*obj, *pos, nullptr).empty();
    size_t e = group_end(b, pos->offset);
    b.ops.erase(b.ops.begin() + pos->offset, b.ops.begin() + e);
    adjust(*obj, b, pos->offset, -int64_t(v), text ? -int64_t(w) : -int64_t(v));
    if (obj->indexed) obj->elem_block.erase(op.id);
    if (b.ops.empty()) {
      obj->blocks.erase(obj->blocks.begin() + pos->block);
      for (size_t i = pos->block; i < obj->blocks.size(); ++i) obj->blocks[i]->index = i;
    }
    return;
  }
  auto pos = locate(*obj, op.elem);
  if (!pos) return;
  Block& b = *obj->blocks[pos->block];
  uint64_t w0 = elem_width(*obj, b, pos->offset, nullptr);
  bool v0 = !elem_values(*obj, *pos, nullptr).empty();
  size_t e = group_end(b, pos->offset);
  for (size_t i = pos->offset; i < e; ++i)
    if (b.ops[i].id == op.id) {
      b.ops.erase(b.ops.begin() + i);
      --e;
      break;
    }
  for (size_t i = pos->offset; i < e; ++i)
    if (contains(op.pred, b.ops[i].id)) remove_succ(b.ops[i], op.id);
  uint64_t w1 = elem_width(*obj, b, pos->offset, nullptr);
  bool v1 = !elem_values(*obj, *pos, nullptr).empty();
  adjust(*obj, b, pos->offset, int64_t(v1) - int64_t(v0), text ? int64_t(w1) - int64_t(w0) : int64_t(v1) - int64_t(v0));
}

}  // namespace kivo::doc::detail
