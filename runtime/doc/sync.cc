#include "runtime/doc/sync.h"

#include <algorithm>
#include <unordered_map>

#include "runtime/doc/doc_state.h"

namespace kivo::doc {

namespace {
constexpr uint8_t kMessageType = 0x42;
constexpr uint8_t kStateType = 0x43;
constexpr uint64_t kMaxHashes = uint64_t(1) << 22;

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

std::vector<uint64_t> probes(const BloomFilter& f, const ChangeHash& h) {
  uint64_t modulo = 8 * f.bits.size();
  std::vector<uint64_t> out;
  if (modulo == 0) return out;
  uint64_t x = le32(&h.bytes[0]) % modulo, y = le32(&h.bytes[4]) % modulo, z = le32(&h.bytes[8]) % modulo;
  out.push_back(x);
  for (uint64_t i = 1; i < f.num_probes; ++i) {
    x = (x + y) % modulo;
    y = (y + z) % modulo;
    out.push_back(x);
  }
  return out;
}

void write_hashes(Bytes& out, const std::vector<ChangeHash>& hashes) {
  write_uleb(out, hashes.size());
  for (const auto& h : hashes) out.insert(out.end(), h.bytes.begin(), h.bytes.end());
}

bool read_hashes(Reader& r, std::vector<ChangeHash>& out) {
  uint64_t n = r.uleb();
  if (r.failed() || n > kMaxHashes || n > r.remaining() / 32) return false;
  out.resize(n);
  for (auto& h : out) {
    ByteView b = r.take(32);
    if (r.failed()) return false;
    std::copy(b.begin(), b.end(), h.bytes.begin());
  }
  return true;
}

// Hashes of the changes that are not ancestors of heads.
std::vector<uint32_t> changes_since(const detail::DocState& st, const Heads& heads) {
  auto seen = detail::ancestors(st, heads);
  std::vector<uint32_t> out;
  for (uint32_t i = 0; i < seen.size(); ++i)
    if (!seen[i]) out.push_back(i);
  return out;
}

Heads sorted_unique(Heads h) {
  std::sort(h.begin(), h.end());
  h.erase(std::unique(h.begin(), h.end()), h.end());
  return h;
}

bool contains(const Heads& v, const ChangeHash& h) { return std::find(v.begin(), v.end(), h) != v.end(); }

}  // namespace

BloomFilter BloomFilter::from_hashes(const std::vector<ChangeHash>& hashes) {
  BloomFilter f;
  f.num_entries = hashes.size();
  f.bits.assign((f.num_entries * f.bits_per_entry + 7) / 8, 0);
  for (const auto& h : hashes) f.add(h);
  return f;
}

void BloomFilter::add(const ChangeHash& h) {
  for (uint64_t p : probes(*this, h)) bits[p >> 3] |= uint8_t(1 << (p & 7));
}

bool BloomFilter::contains(const ChangeHash& h) const {
  if (num_entries == 0) return false;
  for (uint64_t p : probes(*this, h))
    if (!(bits[p >> 3] & (1 << (p & 7)))) return false;
  return true;
}

Bytes BloomFilter::encode() const {
  Bytes out;
  if (num_entries == 0) return out;
  write_uleb(out, num_entries);
  write_uleb(out, bits_per_entry);
  write_uleb(out, num_probes);
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

Result<BloomFilter> BloomFilter::decode(ByteView bytes) {
  BloomFilter f;
  if (bytes.empty()) {
    f.num_entries = 0;
    return f;
  }
  Reader r(bytes);
  f.num_entries = r.uleb();
  f.bits_per_entry = r.uleb();
  f.num_probes = r.uleb();
  if (r.failed() || f.bits_per_entry > 64 || f.num_probes > 64 || f.num_entries > (uint64_t(1) << 32))
    return make_error("bad Bloom filter");
  uint64_t len = (f.num_entries * f.bits_per_entry + 7) / 8;
  ByteView b = r.take(len);
  if (r.failed()) return make_error("truncated Bloom filter");
  f.bits.assign(b.begin(), b.end());
  return f;
}

Bytes encode_sync_message(const SyncMessage& m) {
  Bytes out{kMessageType};
  write_hashes(out, m.heads);
  write_hashes(out, m.need);
  write_uleb(out, m.have.size());
  for (const auto& h : m.have) {
    write_hashes(out, h.last_sync);
    Bytes bloom = h.bloom.encode();
    write_uleb(out, bloom.size());
    out.insert(out.end(), bloom.begin(), bloom.end());
  }
  write_uleb(out, m.changes.size());
  for (const auto& c : m.changes) {
    write_uleb(out, c.size());
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

Result<SyncMessage> decode_sync_message(ByteView bytes) {
  Reader r(bytes);
  uint8_t type = r.byte();
  if (r.failed() || type != kMessageType) return make_error("not a sync message");
  SyncMessage m;
  if (!read_hashes(r, m.heads) || !read_hashes(r, m.need)) return make_error("bad sync message heads");
  uint64_t nhave = r.uleb();
  if (r.failed() || nhave > r.remaining()) return make_error("bad sync message");
  for (uint64_t i = 0; i < nhave; ++i) {
    Have h;
    if (!read_hashes(r, h.last_sync)) return make_error("bad sync message");
    uint64_t n = r.uleb();
    ByteView b = r.take(n);
    if (r.failed()) return make_error("truncated sync message");
    KIVO_TRY_ASSIGN(bloom, BloomFilter::decode(b));
    h.bloom = std::move(bloom);
    m.have.push_back(std::move(h));
  }
  uint64_t nchanges = r.uleb();
  if (r.failed() || nchanges > r.remaining()) return make_error("bad sync message");
  for (uint64_t i = 0; i < nchanges; ++i) {
    uint64_t n = r.uleb();
    ByteView b = r.take(n);
    if (r.failed()) return make_error("truncated sync message");
    m.changes.emplace_back(b.begin(), b.end());
  }
  return m;
}

Bytes encode_sync_state(const SyncState& s) {
  Bytes out{kStateType};
  write_hashes(out, s.shared_heads);
  return out;
}

Result<SyncState> decode_sync_state(ByteView bytes) {
  Reader r(bytes);
  if (r.byte() != kStateType || r.failed()) return make_error("not a sync state");
  SyncState s;
  if (!read_hashes(r, s.shared_heads)) return make_error("bad sync state");
  return s;
}

std::optional<Bytes> generate_sync_message(const Document& doc, SyncState& state) {
  const auto& st = doc.state();
  Heads our_heads = doc.heads();
  std::vector<ChangeHash> our_need = doc.missing_deps(state.their_heads.value_or(Heads{}));
  std::vector<Have> our_have;
  bool all_known = true;
  if (state.their_heads)
    for (const auto& h : our_need) all_known = all_known && contains(*state.their_heads, h);
  if (!state.their_heads || all_known) {
    std::vector<ChangeHash> hashes;
    for (uint32_t i : changes_since(st, state.shared_heads)) hashes.push_back(st.changes[i].hash);
    our_have.push_back(Have{state.shared_heads, BloomFilter::from_hashes(hashes)});
  }
  if (state.their_have && !state.their_have->empty()) {
    const auto& last_sync = state.their_have->front().last_sync;
    bool known = true;
    for (const auto& h : last_sync) known = known && doc.has_change(h);
    if (!known) {
      SyncMessage reset;
      reset.heads = our_heads;
      reset.have.push_back(Have{});
      return encode_sync_message(reset);
    }
  }
  std::vector<uint32_t> to_send;
  if (state.their_have && state.their_need) {
    const auto& have = *state.their_have;
    const auto& need = *state.their_need;
    if (have.empty()) {
      for (const auto& h : need) {
        auto it = st.by_hash.find(h);
        if (it != st.by_hash.end()) to_send.push_back(it->second);
      }
    } else {
      Heads last_sync;
      for (const auto& h : have) last_sync.insert(last_sync.end(), h.last_sync.begin(), h.last_sync.end());
      auto since = changes_since(st, sorted_unique(last_sync));
      std::unordered_set<uint32_t> send;
      std::unordered_map<uint32_t, std::vector<uint32_t>> dependents;
      for (uint32_t i : since) {
        bool in_any = false;
        for (const auto& h : have) in_any = in_any || h.bloom.contains(st.changes[i].hash);
        if (!in_any) send.insert(i);
        for (uint32_t d : st.changes[i].deps) dependents[d].push_back(i);
      }
      std::vector<uint32_t> stack(send.begin(), send.end());
      while (!stack.empty()) {
        uint32_t i = stack.back();
        stack.pop_back();
        for (uint32_t d : dependents[i])
          if (send.insert(d).second) stack.push_back(d);
      }
      for (const auto& h : need) {
        auto it = st.by_hash.find(h);
        if (it != st.by_hash.end() && !send.count(it->second)) to_send.push_back(it->second);
      }
      for (uint32_t i : since)
        if (send.count(i)) to_send.push_back(i);
    }
  }
  bool heads_unchanged = state.last_sent_heads == our_heads;
  bool heads_equal = state.their_heads && *state.their_heads == our_heads;
  if (heads_unchanged) {
    if (heads_equal && to_send.empty()) return std::nullopt;
    if (state.in_flight) return std::nullopt;
  }
  SyncMessage m;
  m.heads = our_heads;
  m.have = std::move(our_have);
  m.need = std::move(our_need);
  for (uint32_t i : to_send) {
    const auto& rec = st.changes[i];
    if (state.sent_hashes.count(rec.hash)) continue;
    m.changes.push_back(rec.bytes);
    state.sent_hashes.insert(rec.hash);
  }
  state.last_sent_heads = our_heads;
  state.in_flight = true;
  return encode_sync_message(m);
}

Status receive_sync_message(Document& doc, SyncState& state, ByteView bytes) {
  KIVO_TRY_ASSIGN(m, decode_sync_message(bytes));
  Heads before = doc.heads();
  if (!m.changes.empty()) KIVO_TRY(doc.apply_changes(m.changes));
  state.in_flight = false;
  if (!m.changes.empty()) {
    Heads after = doc.heads();
    Heads next;
    for (const auto& h : after)
      if (!contains(before, h)) next.push_back(h);
    for (const auto& h : state.shared_heads)
      if (contains(after, h)) next.push_back(h);
    state.shared_heads = sorted_unique(std::move(next));
  }
  if (m.changes.empty() && m.heads == before) state.last_sent_heads = m.heads;
  Heads known;
  for (const auto& h : m.heads)
    if (doc.has_change(h)) known.push_back(h);
  if (known.size() == m.heads.size()) {
    state.shared_heads = m.heads;
    if (m.heads.empty()) {
      state.last_sent_heads.clear();
      state.sent_hashes.clear();
    }
  } else {
    known.insert(known.end(), state.shared_heads.begin(), state.shared_heads.end());
    state.shared_heads = sorted_unique(std::move(known));
  }
  state.their_have = std::move(m.have);
  state.their_heads = std::move(m.heads);
  state.their_need = std::move(m.need);
  return {};
}

}  // namespace kivo::doc
