#include "runtime/doc/change.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace kivo::doc {

std::string to_hex(const uint8_t* data, size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  s.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    s.push_back(digits[data[i] >> 4]);
    s.push_back(digits[data[i] & 15]);
  }
  return s;
}

bool from_hex(const std::string& hex, std::vector<uint8_t>& out) {
  if (hex.size() % 2) return false;
  out.clear();
  auto nib = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    int h = nib(hex[i]), l = nib(hex[i + 1]);
    if (h < 0 || l < 0) return false;
    out.push_back(uint8_t(h * 16 + l));
  }
  return true;
}

std::string ChangeHash::hex() const { return to_hex(bytes.data(), bytes.size()); }

std::optional<ChangeHash> ChangeHash::from_hex(const std::string& hex) {
  std::vector<uint8_t> b;
  if (!kivo::doc::from_hex(hex, b) || b.size() != 32) return std::nullopt;
  ChangeHash h;
  std::copy(b.begin(), b.end(), h.bytes.begin());
  return h;
}

ChangeHash sha256(const uint8_t* data, size_t size) {
  ChangeHash h;
  crypto_hash_sha256(h.bytes.data(), data, size);
  return h;
}

std::optional<int64_t> Value::as_int() const {
  const ScalarValue* s = scalar();
  if (!s) return std::nullopt;
  if (auto p = std::get_if<int64_t>(s)) return *p;
  if (auto p = std::get_if<uint64_t>(s)) return *p <= uint64_t(INT64_MAX) ? std::optional<int64_t>(int64_t(*p)) : std::nullopt;
  if (auto p = std::get_if<Counter>(s)) return p->value;
  if (auto p = std::get_if<Timestamp>(s)) return p->millis;
  return std::nullopt;
}

// --- Chunks ------------------------------------------------------------------

Bytes frame_chunk(ChunkType type, const Bytes& body, ChangeHash* hash_out) {
  Bytes hashed;
  hashed.reserve(body.size() + 12);
  hashed.push_back(uint8_t(type));
  write_uleb(hashed, body.size());
  hashed.insert(hashed.end(), body.begin(), body.end());
  ChangeHash h = sha256(hashed.data(), hashed.size());
  if (hash_out) *hash_out = h;
  Bytes out;
  out.reserve(hashed.size() + 8);
  out.insert(out.end(), kMagic, kMagic + 4);
  out.insert(out.end(), h.bytes.begin(), h.bytes.begin() + 4);
  out.insert(out.end(), hashed.begin(), hashed.end());
  return out;
}

Result<ChunkView> read_chunk(Reader& r) {
  size_t start = r.pos();
  ByteView magic = r.take(4);
  if (r.failed() || std::memcmp(magic.data(), kMagic, 4) != 0) return make_error("not an Automerge chunk (bad magic bytes)");
  ChunkView c{};
  ByteView sum = r.take(4);
  uint8_t type = r.byte();
  size_t len_start = r.pos();
  uint64_t len = r.uleb();
  if (r.failed()) return make_error("truncated chunk header");
  if (type > 2) return make_error("unknown chunk type " + std::to_string(type));
  if (len > kMaxChunkBytes) return make_error("chunk too large");
  c.body = r.take(len);
  if (r.failed()) return make_error("truncated chunk");
  std::memcpy(c.checksum, sum.data(), 4);
  c.type = ChunkType(type);
  ByteView all = ByteView(magic.data(), r.pos() - start);
  c.whole = all;
  if (c.type != ChunkType::Compressed) {
    // checksum covers type, length and body
    ByteView hashed = all.subspan(8);
    ChangeHash h = sha256(hashed.data(), hashed.size());
    if (std::memcmp(h.bytes.data(), c.checksum, 4) != 0) return make_error("chunk checksum mismatch");
  }
  (void)len_start;
  return c;
}

// --- Values ------------------------------------------------------------------

void encode_value(const ScalarValue& v, RleEncoder<uint64_t>& meta, Bytes& raw) {
  size_t before = raw.size();
  uint64_t type = 0;
  std::visit(
      [&](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Null>) type = 0;
        else if constexpr (std::is_same_v<T, bool>) type = x ? 2 : 1;
        else if constexpr (std::is_same_v<T, uint64_t>) { type = 3; write_uleb(raw, x); }
        else if constexpr (std::is_same_v<T, int64_t>) { type = 4; write_sleb(raw, x); }
        else if constexpr (std::is_same_v<T, double>) {
          type = 5;
          uint8_t b[8];
          std::memcpy(b, &x, 8);
          raw.insert(raw.end(), b, b + 8);
        } else if constexpr (std::is_same_v<T, std::string>) { type = 6; write_bytes(raw, x); }
        else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) { type = 7; write_bytes(raw, ByteView(x)); }
        else if constexpr (std::is_same_v<T, Counter>) { type = 8; write_sleb(raw, x.value); }
        else if constexpr (std::is_same_v<T, Timestamp>) { type = 9; write_sleb(raw, x.millis); }
        else if constexpr (std::is_same_v<T, UnknownValue>) { type = x.type_code; write_bytes(raw, ByteView(x.bytes)); }
      },
      v);
  meta.append(uint64_t((raw.size() - before) << 4) | type);
}

bool decode_value(uint64_t meta, Reader& raw, ScalarValue& out) {
  uint64_t len = meta >> 4;
  uint64_t type = meta & 15;
  ByteView b = raw.take(len);
  if (raw.failed()) return false;
  Reader r(b);
  switch (type) {
    case 0: out = Null{}; return len == 0;
    case 1: out = false; return len == 0;
    case 2: out = true; return len == 0;
    case 3: out = r.uleb(); break;
    case 4: out = r.sleb(); break;
    case 5: {
      if (len != 8) return false;
      double d;
      std::memcpy(&d, b.data(), 8);
      out = d;
      return true;
    }
    case 6: out = std::string(reinterpret_cast<const char*>(b.data()), b.size()); return true;
    case 7: out = std::vector<uint8_t>(b.begin(), b.end()); return true;
    case 8: out = Counter{r.sleb()}; break;
    case 9: out = Timestamp{r.sleb()}; break;
    default: out = UnknownValue{uint8_t(type), std::vector<uint8_t>(b.begin(), b.end())}; return true;
  }
  return !r.failed() && r.done();
}

// --- Change encoding ---------------------------------------------------------

namespace {
constexpr uint32_t kObjActor = column_spec(0, ColumnType::Actor);
constexpr uint32_t kObjCtr = column_spec(0, ColumnType::Uleb);
constexpr uint32_t kKeyActor = column_spec(1, ColumnType::Actor);
constexpr uint32_t kKeyCtr = column_spec(1, ColumnType::Delta);
constexpr uint32_t kKeyStr = column_spec(1, ColumnType::String);
constexpr uint32_t kInsert = column_spec(3, ColumnType::Boolean);
constexpr uint32_t kAction = column_spec(4, ColumnType::Uleb);
constexpr uint32_t kValMeta = column_spec(5, ColumnType::ValueMeta);
constexpr uint32_t kValRaw = column_spec(5, ColumnType::ValueRaw);
constexpr uint32_t kPredGroup = column_spec(7, ColumnType::Group);
constexpr uint32_t kPredActor = column_spec(7, ColumnType::Actor);
constexpr uint32_t kPredCtr = column_spec(7, ColumnType::Delta);
}  // namespace

void encode_change(Change& c) {
  RleEncoder<uint64_t> obj_actor, obj_ctr, key_actor, action, val_meta, pred_group, pred_actor;
  DeltaEncoder key_ctr, pred_ctr;
  RleEncoder<std::string> key_str;
  BoolEncoder insert;
  Bytes val_raw;
  for (const ChangeOp& op : c.ops) {
    if (op.obj.counter == 0) {
      obj_actor.append_null();
      obj_ctr.append_null();
    } else {
      obj_actor.append(uint64_t(op.obj.actor));
      obj_ctr.append(op.obj.counter);
    }
    if (op.elem_key) {
      if (op.elem.counter == 0) key_actor.append_null();
      else key_actor.append(uint64_t(op.elem.actor));
      key_ctr.append(int64_t(op.elem.counter));
      key_str.append_null();
    } else {
      key_actor.append_null();
      key_ctr.append_null();
      key_str.append(op.key);
    }
    insert.append(op.insert);
    action.append(uint64_t(op.action));
    encode_value(op.value, val_meta, val_raw);
    pred_group.append(uint64_t(op.pred.size()));
    for (const OpId& p : op.pred) {
      pred_actor.append(uint64_t(p.actor));
      pred_ctr.append(int64_t(p.counter));
    }
  }
  std::vector<Column> cols;
  cols.push_back({kObjActor, obj_actor.finish()});
  cols.push_back({kObjCtr, obj_ctr.finish()});
  cols.push_back({kKeyActor, key_actor.finish()});
  cols.push_back({kKeyCtr, key_ctr.finish()});
  cols.push_back({kKeyStr, key_str.finish()});
  cols.push_back({kInsert, insert.finish()});
  cols.push_back({kAction, action.finish()});
  cols.push_back({kValMeta, val_meta.finish()});
  cols.push_back({kValRaw, std::move(val_raw)});
  cols.push_back({kPredGroup, pred_group.finish()});
  cols.push_back({kPredActor, pred_actor.finish()});
  cols.push_back({kPredCtr, pred_ctr.finish()});

  Bytes body;
  write_uleb(body, c.deps.size());
  for (const auto& d : c.deps) body.insert(body.end(), d.bytes.begin(), d.bytes.end());
  write_uleb(body, c.actor.size());
  write_bytes(body, ByteView(c.actor));
  write_uleb(body, c.seq);
  write_uleb(body, c.start_op);
  write_sleb(body, c.time);
  write_uleb(body, c.message.size());
  write_bytes(body, c.message);
  write_uleb(body, c.other_actors.size());
  for (const auto& a : c.other_actors) {
    write_uleb(body, a.size());
    write_bytes(body, ByteView(a));
  }
  Bytes meta, data;
  write_columns(meta, data, std::move(cols), false);
  body.insert(body.end(), meta.begin(), meta.end());
  body.insert(body.end(), data.begin(), data.end());
  body.insert(body.end(), c.extra.begin(), c.extra.end());
  c.bytes = frame_chunk(ChunkType::Change, body, &c.hash);
}

namespace {

Result<Change> decode_change_body(ByteView body) {
  Reader r(body);
  Change c;
  uint64_t ndeps = r.uleb();
  if (r.failed() || ndeps > r.remaining() / 32) return make_error("bad change dependencies");
  for (uint64_t i = 0; i < ndeps; ++i) {
    ByteView h = r.take(32);
    ChangeHash d;
    std::copy(h.begin(), h.end(), d.bytes.begin());
    c.deps.push_back(d);
  }
  uint64_t alen = r.uleb();
  ByteView actor = r.take(alen);
  c.actor.assign(actor.begin(), actor.end());
  c.seq = r.uleb();
  c.start_op = r.uleb();
  c.time = r.sleb();
  uint64_t mlen = r.uleb();
  ByteView msg = r.take(mlen);
  c.message.assign(reinterpret_cast<const char*>(msg.data()), msg.size());
  uint64_t nother = r.uleb();
  if (r.failed() || nother > r.remaining()) return make_error("truncated change header");
  for (uint64_t i = 0; i < nother; ++i) {
    uint64_t n = r.uleb();
    ByteView a = r.take(n);
    c.other_actors.emplace_back(a.begin(), a.end());
  }
  if (r.failed()) return make_error("truncated change header");
  if (c.seq == 0 || c.start_op == 0 || c.start_op > kMaxCounter) return make_error("bad change sequence or start op");
  std::vector<ColumnMeta> meta;
  if (!read_column_meta(r, meta)) return make_error("bad change column metadata");
  std::vector<Column> cols;
  if (!read_column_data(r, meta, cols)) return make_error("bad change column data");
  ByteView rest = r.rest();
  c.extra.assign(rest.begin(), rest.end());

  RleDecoder<uint64_t> obj_actor(find_column(cols, kObjActor)), obj_ctr(find_column(cols, kObjCtr)),
      key_actor(find_column(cols, kKeyActor)), action(find_column(cols, kAction)),
      val_meta(find_column(cols, kValMeta)), pred_group(find_column(cols, kPredGroup)),
      pred_actor(find_column(cols, kPredActor));
  DeltaDecoder key_ctr(find_column(cols, kKeyCtr)), pred_ctr(find_column(cols, kPredCtr));
  RleDecoder<std::string> key_str(find_column(cols, kKeyStr));
  BoolDecoder insert(find_column(cols, kInsert));
  Reader val_raw(find_column(cols, kValRaw));
  uint64_t nactors = 1 + c.other_actors.size();
  auto bad = [](const char* what) { return make_error(std::string("bad change operation: ") + what); };

  uint64_t total_preds = 0;
  while (!action.done()) {
    if (c.ops.size() >= max_ops_for(body.size())) return make_error("too many operations in change");
    ChangeOp op;
    auto oa = obj_actor.next();
    auto oc = obj_ctr.next();
    if (oa.has_value() != oc.has_value()) return bad("object id");
    if (oa) {
      if (*oa >= nactors || *oc == 0 || *oc > kMaxCounter) return bad("object id");
      op.obj = OpId{*oc, uint32_t(*oa)};
    }
    auto ka = key_actor.next();
    auto kc = key_ctr.next();
    auto ks = key_str.next();
    if (ks) {
      if (ka || kc) return bad("key");
      op.key = std::move(*ks);
    } else if (kc) {
      op.elem_key = true;
      if (*kc < 0 || uint64_t(*kc) > kMaxCounter) return bad("key");
      if (*kc == 0) {
        if (ka) return bad("key");
      } else {
        if (!ka || *ka >= nactors) return bad("key");
        op.elem = OpId{uint64_t(*kc), uint32_t(*ka)};
      }
    } else {
      return bad("missing key");
    }
    op.insert = insert.next();
    auto act = action.next();
    if (!act || *act > kMaxAction) return bad("action");
    op.action = Action(*act);
    auto vm = val_meta.next();
    if (!decode_value(vm.value_or(0), val_raw, op.value)) return bad("value");
    auto ng = pred_group.next();
    uint64_t n = ng.value_or(0);
    total_preds += n;
    if (total_preds > max_ops_for(body.size())) return bad("predecessors");
    for (uint64_t i = 0; i < n; ++i) {
      auto pa = pred_actor.next();
      auto pc = pred_ctr.next();
      if (!pa || !pc || *pa >= nactors || *pc <= 0 || uint64_t(*pc) > kMaxCounter) return bad("predecessor");
      op.pred.push_back(OpId{uint64_t(*pc), uint32_t(*pa)});
    }
    if (op.insert && !op.elem_key) return bad("insert into a map");
    c.ops.push_back(std::move(op));
  }
  if (obj_actor.error() || obj_ctr.error() || key_actor.error() || key_ctr.error() || key_str.error() ||
      insert.error() || action.error() || val_meta.error() || pred_group.error() || pred_actor.error() ||
      pred_ctr.error() || val_raw.failed())
    return make_error("malformed change columns");
  if (c.start_op + c.ops.size() > kMaxCounter) return make_error("bad change start op");
  return c;
}

}  // namespace

Result<Change> decode_change(ByteView chunk) {
  Reader r(chunk);
  KIVO_TRY_ASSIGN(view, read_chunk(r));
  if (view.type == ChunkType::Document) return make_error("expected a change chunk, found a document");
  Bytes inflated;
  ByteView body = view.body;
  if (view.type == ChunkType::Compressed) {
    if (!inflate_raw(view.body, inflated, kMaxChunkBytes)) return make_error("bad compressed change");
    body = inflated;
  }
  KIVO_TRY_ASSIGN(c, decode_change_body(body));
  Bytes b(body.begin(), body.end());
  c.bytes = frame_chunk(ChunkType::Change, b, &c.hash);
  if (view.type == ChunkType::Compressed && std::memcmp(c.hash.bytes.data(), view.checksum, 4) != 0) {
    ChangeHash h = sha256(view.whole.data() + 8, view.whole.size() - 8);
    if (std::memcmp(h.bytes.data(), view.checksum, 4) != 0) return make_error("chunk checksum mismatch");
  }
  return c;
}

}  // namespace kivo::doc
