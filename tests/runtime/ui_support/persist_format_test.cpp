#include "runtime/ui/persist_format.h"

#include <string>

#include <gtest/gtest.h>

#include "runtime/ui/crc32.h"

namespace kivo_ui::persist {
namespace {

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Crc32, MatchesTheStandardCheckValue) {
  EXPECT_EQ(crc32(bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(crc32(bytes("")), 0u);
  // Continuing over pieces gives the value of the whole.
  EXPECT_EQ(crc32(bytes("6789"), crc32(bytes("12345"))), 0xCBF43926u);
}

TEST(LogFormat, RecordsRoundTripIncludingEmptyAndBinary) {
  Bytes file = encode_log_header(7);
  std::vector<Bytes> records = {bytes("first"), {}, Bytes{0x00, 0xff, 0x85, 0x6f}};
  for (const auto& r : records) {
    auto framed = encode_record(r);
    file.insert(file.end(), framed.begin(), framed.end());
  }
  auto scan = scan_log(file);
  ASSERT_TRUE(scan.ok()) << scan.error().message;
  EXPECT_EQ(scan->generation, 7u);
  EXPECT_EQ(scan->records, records);
  EXPECT_EQ(scan->intact_size, file.size());
  EXPECT_EQ(scan->dropped_bytes, 0u);
}

TEST(LogFormat, MissingOrForeignHeaderIsAnError) {
  Bytes header = encode_log_header(1);
  for (Bytes file : {Bytes{}, Bytes(header.begin(), header.begin() + 10), bytes("KIVOLOG2........"),
                     bytes("not a log file at all")}) {
    EXPECT_FALSE(scan_log(file).ok()) << std::string(file.begin(), file.end());
  }
}

TEST(SnapshotFormat, AnyDamageIsAnError) {
  Bytes good = encode_snapshot(3, bytes("full save"));
  auto decoded = decode_snapshot(good);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded->covers_generation, 3u);
  EXPECT_EQ(decoded->payload, bytes("full save"));

  struct Case {
    const char* name;
    Bytes file;
  };
  auto with = [&](auto change) {
    Bytes b = good;
    change(b);
    return b;
  };
  const Case cases[] = {
      {"empty", {}},
      {"header only", Bytes(good.begin(), good.begin() + kSnapshotHeaderSize)},
      {"truncated payload", Bytes(good.begin(), good.end() - 1)},
      {"extra byte", with([](Bytes& b) { b.push_back(0); })},
      {"flipped payload byte", with([](Bytes& b) { b.back() ^= 0x01; })},
      {"flipped checksum", with([](Bytes& b) { b[24] ^= 0x80; })},
      {"wrong magic", with([](Bytes& b) { b[0] = 'X'; })},
  };
  for (const auto& c : cases) EXPECT_FALSE(decode_snapshot(c.file).ok()) << c.name;
}

}  // namespace
}  // namespace kivo_ui::persist
