// Column codecs: LEB128 edge values, and run-length encodings byte-for-byte as the
// reference writes them.
#include <gtest/gtest.h>

#include "runtime/doc/encoding.h"

namespace kivo::doc {
namespace {

TEST(Encoding, LebRoundTripsEdgeValues) {
  for (uint64_t v : {uint64_t(0), uint64_t(1), uint64_t(127), uint64_t(128), uint64_t(1) << 63, UINT64_MAX}) {
    Bytes b;
    write_uleb(b, v);
    Reader r(b);
    EXPECT_EQ(r.uleb(), v);
    EXPECT_FALSE(r.failed());
    EXPECT_TRUE(r.done());
  }
  for (int64_t v : {int64_t(0), int64_t(-1), int64_t(63), int64_t(64), int64_t(-64), int64_t(-65), INT64_MAX, INT64_MIN}) {
    Bytes b;
    write_sleb(b, v);
    Reader r(b);
    EXPECT_EQ(r.sleb(), v) << v;
    EXPECT_FALSE(r.failed());
  }
}

TEST(Encoding, LebRejectsTruncatedAndOverlong) {
  for (Bytes b : {Bytes{0x80}, Bytes{0xff, 0xff}, Bytes{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
                  Bytes{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}}) {
    Reader r(b);
    r.uleb();
    EXPECT_TRUE(r.failed());
  }
}

// Values and the bytes the reference writes for them (taken from its change chunks).
TEST(Encoding, RleMatchesReferenceBytes) {
  std::vector<std::optional<uint64_t>> actors = {std::nullopt, std::nullopt, 0, 0, 0, 0, 0, std::nullopt,
                                                 0, 0, 0, std::nullopt, 0};
  RleEncoder<uint64_t> e;
  for (auto v : actors) e.append(v);
  EXPECT_EQ(e.finish(), (Bytes{0x00, 0x02, 0x05, 0x00, 0x00, 0x01, 0x03, 0x00, 0x00, 0x01, 0x7f, 0x00}));

  std::vector<uint64_t> actions = {1, 4, 1, 1, 1, 1, 1, 2, 1, 1, 1, 4, 1};
  RleEncoder<uint64_t> a;
  for (auto v : actions) a.append(v);
  EXPECT_EQ(a.finish(), (Bytes{0x7e, 0x01, 0x04, 0x05, 0x01, 0x7f, 0x02, 0x03, 0x01, 0x7e, 0x04, 0x01}));

  RleEncoder<uint64_t> nulls;
  nulls.append_null();
  nulls.append_null();
  EXPECT_TRUE(nulls.finish().empty()) << "an all-null column is omitted";
}

TEST(Encoding, RoundTrips) {
  std::vector<std::optional<int64_t>> values = {5, 5, 6, std::nullopt, -3, 100, 100, 100, std::nullopt, std::nullopt, 7};
  DeltaEncoder d;
  RleEncoder<int64_t> r;
  for (auto v : values) {
    d.append(v);
    r.append(v);
  }
  Bytes db = d.finish(), rb = r.finish();
  DeltaDecoder dd(db);
  RleDecoder<int64_t> rd(rb);
  for (auto v : values) {
    EXPECT_EQ(dd.next(), v);
    EXPECT_EQ(rd.next(), v);
  }
  EXPECT_TRUE(dd.done());
  EXPECT_FALSE(dd.error() || rd.error());

  std::vector<bool> bools = {true, true, false, true, false, false, false};
  BoolEncoder be;
  for (bool b : bools) be.append(b);
  Bytes bb = be.finish();
  EXPECT_EQ(bb, (Bytes{0, 2, 1, 1, 3}));
  BoolDecoder bd(bb);
  for (bool b : bools) EXPECT_EQ(bd.next(), b);

  RleEncoder<std::string> s;
  s.append(std::string("a"));
  s.append(std::string("a"));
  s.append(std::string("b"));
  s.append_null();
  Bytes sb = s.finish();
  RleDecoder<std::string> sd(sb);
  EXPECT_EQ(sd.next(), "a");
  EXPECT_EQ(sd.next(), "a");
  EXPECT_EQ(sd.next(), "b");
  EXPECT_EQ(sd.next(), std::nullopt);
}

TEST(Encoding, DecodersFlagMalformedData) {
  Bytes zero_null_run{0x00, 0x00};
  RleDecoder<uint64_t> a(zero_null_run);
  a.next();
  EXPECT_TRUE(a.error());
  Bytes short_literal{0x7d, 0x01};  // three literal values, one present
  RleDecoder<uint64_t> b(short_literal);
  b.next();
  b.next();
  EXPECT_TRUE(b.error());
  Bytes overflow;
  write_sleb(overflow, 2);
  write_sleb(overflow, INT64_MAX);
  DeltaDecoder c(overflow);
  c.next();
  c.next();
  EXPECT_TRUE(c.error());
}

TEST(Encoding, InflateRespectsLimit) {
  Bytes big(1 << 20, 'x'), z, out;
  ASSERT_TRUE(deflate_raw(big, z));
  EXPECT_FALSE(inflate_raw(z, out, 1000));
  EXPECT_TRUE(inflate_raw(z, out, 2 << 20));
  EXPECT_EQ(out, big);
  z.resize(z.size() / 2);
  EXPECT_FALSE(inflate_raw(z, out, 2 << 20));
}

}  // namespace
}  // namespace kivo::doc
