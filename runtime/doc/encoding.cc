#include "runtime/doc/encoding.h"

#include <zlib.h>

#include <algorithm>

namespace kivo::doc {

void write_uleb(Bytes& out, uint64_t value) {
  do {
    uint8_t b = value & 0x7f;
    value >>= 7;
    if (value) b |= 0x80;
    out.push_back(b);
  } while (value);
}

void write_sleb(Bytes& out, int64_t value) {
  bool more = true;
  while (more) {
    uint8_t b = value & 0x7f;
    value >>= 7;  // arithmetic shift
    if ((value == 0 && !(b & 0x40)) || (value == -1 && (b & 0x40)))
      more = false;
    else
      b |= 0x80;
    out.push_back(b);
  }
}

void write_bytes(Bytes& out, ByteView bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

uint64_t Reader::uleb() {
  uint64_t result = 0;
  for (int shift = 0; shift < 70; shift += 7) {
    if (m_failed || m_pos >= m_data.size()) {
      m_failed = true;
      return 0;
    }
    uint8_t b = m_data[m_pos++];
    if (shift == 63 && (b & 0x7e)) {  // overflow beyond 64 bits
      m_failed = true;
      return 0;
    }
    result |= uint64_t(b & 0x7f) << shift;
    if (!(b & 0x80)) return result;
  }
  m_failed = true;
  return 0;
}

int64_t Reader::sleb() {
  int64_t result = 0;
  int shift = 0;
  for (;;) {
    if (m_failed || m_pos >= m_data.size() || shift >= 70) {
      m_failed = true;
      return 0;
    }
    uint8_t b = m_data[m_pos++];
    if (shift == 63 && b != 0 && b != 0x7f) {
      m_failed = true;
      return 0;
    }
    result |= int64_t(uint64_t(b & 0x7f) << shift);
    shift += 7;
    if (!(b & 0x80)) {
      if (shift < 64 && (b & 0x40)) result |= int64_t(~uint64_t(0) << shift);
      return result;
    }
  }
}

uint8_t Reader::byte() {
  if (m_failed || m_pos >= m_data.size()) {
    m_failed = true;
    return 0;
  }
  return m_data[m_pos++];
}

ByteView Reader::take(uint64_t n) {
  if (m_failed || n > m_data.size() - m_pos) {
    m_failed = true;
    return {};
  }
  ByteView v = m_data.subspan(m_pos, n);
  m_pos += n;
  return v;
}

// --- RLE ---------------------------------------------------------------------

namespace {
void put_value(Bytes& out, uint64_t v) { write_uleb(out, v); }
void put_value(Bytes& out, int64_t v) { write_sleb(out, v); }
void put_value(Bytes& out, const std::string& v) {
  write_uleb(out, v.size());
  write_bytes(out, v);
}
bool get_value(Reader& r, uint64_t& v) {
  v = r.uleb();
  return !r.failed();
}
bool get_value(Reader& r, int64_t& v) {
  v = r.sleb();
  return !r.failed();
}
bool get_value(Reader& r, std::string& v) {
  uint64_t n = r.uleb();
  ByteView b = r.take(n);
  if (r.failed()) return false;
  v.assign(reinterpret_cast<const char*>(b.data()), b.size());
  return true;
}
}  // namespace

template <typename T>
void RleEncoder<T>::write_value(const T& v) {
  put_value(m_out, v);
}

template <typename T>
void RleEncoder<T>::flush() {
  switch (m_state) {
    case State::Empty: break;
    case State::Nulls:
      write_sleb(m_out, 0);
      write_uleb(m_out, m_count);
      break;
    case State::Lone:
      write_sleb(m_out, -1);
      write_value(m_last);
      break;
    case State::Run:
      write_sleb(m_out, int64_t(m_count));
      write_value(m_last);
      break;
    case State::Literal:
      write_sleb(m_out, -int64_t(m_literal.size()));
      for (const T& v : m_literal) write_value(v);
      m_literal.clear();
      break;
  }
  m_state = State::Empty;
}

template <typename T>
void RleEncoder<T>::append(const T& v) {
  m_only_nulls = false;
  switch (m_state) {
    case State::Empty:
      m_state = State::Lone;
      m_last = v;
      break;
    case State::Nulls:
      flush();
      m_state = State::Lone;
      m_last = v;
      break;
    case State::Lone:
      if (m_last == v) {
        m_state = State::Run;
        m_count = 2;
      } else {
        m_literal.clear();
        m_literal.push_back(m_last);
        m_last = v;
        m_state = State::Literal;
      }
      break;
    case State::Run:
      if (m_last == v) {
        ++m_count;
      } else {
        flush();
        m_state = State::Lone;
        m_last = v;
      }
      break;
    case State::Literal:
      if (m_last == v) {
        flush();
        m_state = State::Run;
        m_count = 2;
        m_last = v;
      } else {
        m_literal.push_back(m_last);
        m_last = v;
      }
      break;
  }
}

template <typename T>
void RleEncoder<T>::append_null() {
  switch (m_state) {
    case State::Empty:
      m_state = State::Nulls;
      m_count = 1;
      break;
    case State::Nulls: ++m_count; break;
    case State::Literal:
      m_literal.push_back(m_last);
      flush();
      m_state = State::Nulls;
      m_count = 1;
      break;
    case State::Lone:
    case State::Run:
      flush();
      m_state = State::Nulls;
      m_count = 1;
      break;
  }
}

template <typename T>
Bytes RleEncoder<T>::finish() {
  if (m_only_nulls) return {};
  if (m_state == State::Literal) m_literal.push_back(m_last);
  flush();
  return std::move(m_out);
}

template <typename T>
bool RleDecoder<T>::read_value(T& out) {
  return get_value(m_reader, out);
}

template <typename T>
std::optional<T> RleDecoder<T>::next() {
  if (m_error) return std::nullopt;
  if (m_left == 0) {
    if (m_reader.done()) return std::nullopt;
    int64_t count = m_reader.sleb();
    if (m_reader.failed()) {
      m_error = true;
      return std::nullopt;
    }
    if (count > 0) {
      m_mode = Mode::Run;
      m_left = uint64_t(count);
      if (!read_value(m_value)) {
        m_error = true;
        return std::nullopt;
      }
    } else if (count < 0) {
      m_mode = Mode::Literal;
      m_left = count == INT64_MIN ? uint64_t(INT64_MAX) : uint64_t(-count);
    } else {
      m_mode = Mode::Nulls;
      m_left = m_reader.uleb();
      if (m_reader.failed() || m_left == 0) {
        m_error = true;
        return std::nullopt;
      }
    }
  }
  --m_left;
  switch (m_mode) {
    case Mode::Run: return m_value;
    case Mode::Literal:
      if (!read_value(m_value)) {
        m_error = true;
        return std::nullopt;
      }
      return m_value;
    default: return std::nullopt;
  }
}

template class RleEncoder<uint64_t>;
template class RleEncoder<int64_t>;
template class RleEncoder<std::string>;
template class RleDecoder<uint64_t>;
template class RleDecoder<int64_t>;
template class RleDecoder<std::string>;

std::optional<int64_t> DeltaDecoder::next() {
  auto d = m_rle.next();
  if (!d) return std::nullopt;
  int64_t out;
  if (__builtin_add_overflow(m_abs, *d, &out)) {
    m_error = true;
    return std::nullopt;
  }
  m_abs = out;
  return out;
}

void BoolEncoder::append(bool v) {
  m_any = true;
  if (v == m_last) {
    ++m_count;
  } else {
    write_uleb(m_out, m_count);
    m_last = v;
    m_count = 1;
  }
}

Bytes BoolEncoder::finish() {
  if (m_count > 0) write_uleb(m_out, m_count);
  m_count = 0;
  return std::move(m_out);
}

bool BoolDecoder::next() {
  if (m_error) return false;
  while (m_left == 0) {
    if (m_reader.done()) return false;
    m_left = m_reader.uleb();
    if (m_reader.failed()) {
      m_error = true;
      return false;
    }
    m_value = !m_value;
  }
  --m_left;
  return m_value;
}

// --- Columns -----------------------------------------------------------------

bool deflate_raw(ByteView in, Bytes& out) {
  z_stream zs{};
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&zs, in.size()));
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = uInt(in.size());
  zs.next_out = out.data();
  zs.avail_out = uInt(out.size());
  int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return rc == Z_STREAM_END;
}

bool inflate_raw(ByteView in, Bytes& out, size_t limit) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return false;
  out.clear();
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = uInt(in.size());
  uint8_t buf[16384];
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    zs.next_out = buf;
    zs.avail_out = sizeof buf;
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    size_t got = sizeof buf - zs.avail_out;
    if (out.size() + got > limit) {
      rc = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), buf, buf + got);
    if (rc == Z_OK && got == 0 && zs.avail_in == 0) {
      rc = Z_DATA_ERROR;  // truncated stream
      break;
    }
  }
  inflateEnd(&zs);
  return rc == Z_STREAM_END;
}

void write_columns(Bytes& meta_out, Bytes& data_out, std::vector<Column> columns, bool compress) {
  std::sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) { return a.spec < b.spec; });
  size_t n = 0;
  for (const auto& c : columns) n += !c.data.empty();
  write_uleb(meta_out, n);
  for (auto& c : columns) {
    if (c.data.empty()) continue;
    uint32_t spec = c.spec;
    if (compress && c.data.size() > 256 && (c.spec & 7) != uint32_t(ColumnType::Group)) {
      Bytes z;
      if (deflate_raw(c.data, z) && z.size() < c.data.size()) {
        c.data = std::move(z);
        spec |= kDeflateBit;
      }
    }
    write_uleb(meta_out, spec);
    write_uleb(meta_out, c.data.size());
    write_bytes(data_out, c.data);
  }
}

bool read_column_meta(Reader& r, std::vector<ColumnMeta>& out) {
  uint64_t n = r.uleb();
  if (r.failed() || n > r.remaining() / 2) return false;
  out.clear();
  uint32_t last = 0;
  for (uint64_t i = 0; i < n; ++i) {
    uint64_t spec = r.uleb();
    uint64_t len = r.uleb();
    if (r.failed() || spec > 0xffffffffu) return false;
    uint32_t s = uint32_t(spec);
    if (i > 0 && (s & ~kDeflateBit) <= (last & ~kDeflateBit)) return false;
    last = s;
    out.push_back({s, len});
  }
  return true;
}

bool read_column_data(Reader& r, const std::vector<ColumnMeta>& meta, std::vector<Column>& out) {
  out.clear();
  for (const auto& m : meta) {
    ByteView data = r.take(m.length);
    if (r.failed()) return false;
    Column c;
    c.spec = m.spec & ~kDeflateBit;
    if (m.spec & kDeflateBit) {
      if (!inflate_raw(data, c.data, size_t(1) << 30)) return false;
    } else {
      c.data.assign(data.begin(), data.end());
    }
    out.push_back(std::move(c));
  }
  return true;
}

ByteView find_column(const std::vector<Column>& columns, uint32_t spec) {
  for (const auto& c : columns)
    if (c.spec == spec) return c.data;
  return {};
}

}  // namespace kivo::doc
