// Byte-level codecs of the Automerge storage format: LEB128, and the run-length,
// delta and boolean column encodings. Decoders never read past their input and
// report malformed data through a sticky error flag.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::doc {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

void write_uleb(Bytes& out, uint64_t value);
void write_sleb(Bytes& out, int64_t value);
void write_bytes(Bytes& out, ByteView bytes);
inline void write_bytes(Bytes& out, std::string_view s) {
  write_bytes(out, ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

// Sequential reader over a byte span; any malformed or truncated read sets failed().
class Reader {
public:
  explicit Reader(ByteView data) : m_data(data) {}
  uint64_t uleb();
  int64_t sleb();
  uint8_t byte();
  ByteView take(uint64_t n);  // empty and failed when fewer than n bytes remain
  bool done() const { return m_pos >= m_data.size(); }
  bool failed() const { return m_failed; }
  void fail() { m_failed = true; }
  size_t pos() const { return m_pos; }
  size_t remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
  ByteView rest() const { return m_data.subspan(std::min(m_pos, m_data.size())); }

private:
  ByteView m_data;
  size_t m_pos = 0;
  bool m_failed = false;
};

// --- Encoders ---------------------------------------------------------------
// Run-length encoder over values of T. Runs of equal values become (count, value),
// lone values are grouped into literal runs (-count, values...), nulls into (0, count).
template <typename T>
class RleEncoder {
public:
  void append(const T& v);
  void append_null();
  void append(const std::optional<T>& v) { v ? append(*v) : append_null(); }
  Bytes finish();
  bool empty() const { return m_state == State::Empty && m_out.empty(); }

private:
  enum class State { Empty, Nulls, Lone, Run, Literal };
  void flush();
  void write_value(const T& v);
  State m_state = State::Empty;
  T m_last{};
  uint64_t m_count = 0;
  std::vector<T> m_literal;
  Bytes m_out;
  bool m_only_nulls = true;
};

// Delta encoder: stores differences of successive non-null values as signed RLE.
class DeltaEncoder {
public:
  void append(int64_t v) { m_rle.append(v - m_abs); m_abs = v; }
  void append_null() { m_rle.append_null(); }
  void append(const std::optional<int64_t>& v) { v ? append(*v) : append_null(); }
  Bytes finish() { return m_rle.finish(); }

private:
  RleEncoder<int64_t> m_rle;
  int64_t m_abs = 0;
};

// Boolean encoder: alternating run lengths, starting with a run of false.
class BoolEncoder {
public:
  void append(bool v);
  Bytes finish();

private:
  bool m_last = false;
  uint64_t m_count = 0;
  Bytes m_out;
  bool m_any = false;
};

// --- Decoders ---------------------------------------------------------------
// Decoders yield std::nullopt for nulls and past the end of their data (a missing
// column reads as all nulls). error() is set on malformed data.
template <typename T>
class RleDecoder {
public:
  RleDecoder() : m_reader(ByteView{}) {}
  explicit RleDecoder(ByteView data) : m_reader(data) {}
  std::optional<T> next();
  bool error() const { return m_error; }
  bool done() const { return m_left == 0 && m_reader.done(); }

private:
  bool read_value(T& out);
  Reader m_reader;
  enum class Mode { None, Run, Literal, Nulls } m_mode = Mode::None;
  uint64_t m_left = 0;
  T m_value{};
  bool m_error = false;
};

class DeltaDecoder {
public:
  DeltaDecoder() = default;
  explicit DeltaDecoder(ByteView data) : m_rle(data) {}
  std::optional<int64_t> next();
  bool error() const { return m_rle.error() || m_error; }
  bool done() const { return m_rle.done(); }

private:
  RleDecoder<int64_t> m_rle;
  int64_t m_abs = 0;
  bool m_error = false;
};

class BoolDecoder {
public:
  BoolDecoder() : m_reader(ByteView{}) {}
  explicit BoolDecoder(ByteView data) : m_reader(data) {}
  bool next();  // false past the end
  bool error() const { return m_error; }
  bool done() const { return m_left == 0 && m_reader.done(); }

private:
  Reader m_reader;
  bool m_value = true;
  uint64_t m_left = 0;
  bool m_error = false;
};

// Column types, the low three bits of a column specification.
enum class ColumnType : uint8_t {
  Group = 0, Actor = 1, Uleb = 2, Delta = 3, Boolean = 4, String = 5, ValueMeta = 6, ValueRaw = 7,
};
constexpr uint32_t column_spec(uint32_t id, ColumnType type) { return (id << 4) | uint32_t(type); }
constexpr uint32_t kDeflateBit = 8;

// One column as stored: its specification and (decompressed) bytes.
struct Column {
  uint32_t spec = 0;
  Bytes data;
};

// Writes column metadata (count, spec, length) then the data, skipping empty columns.
// With compress set, columns longer than the threshold are DEFLATE-compressed.
void write_columns(Bytes& meta_out, Bytes& data_out, std::vector<Column> columns, bool compress);
// Reads column metadata; returns false on malformed or unordered metadata.
struct ColumnMeta {
  uint32_t spec;
  uint64_t length;
};
bool read_column_meta(Reader& r, std::vector<ColumnMeta>& out);
// Slices (and inflates, where flagged) the column data that follows the metadata.
bool read_column_data(Reader& r, const std::vector<ColumnMeta>& meta, std::vector<Column>& out);
// The data of the column with the given spec (deflate bit ignored), or empty.
ByteView find_column(const std::vector<Column>& columns, uint32_t spec);

bool deflate_raw(ByteView in, Bytes& out);
bool inflate_raw(ByteView in, Bytes& out, size_t limit);

}  // namespace kivo::doc
