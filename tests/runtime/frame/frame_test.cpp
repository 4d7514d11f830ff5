#include <gtest/gtest.h>

#include "runtime/frame/frame.h"

namespace kivo_frame {
namespace {

Bytes body_of(size_t n, uint8_t fill = 7) { return Bytes(n, fill); }

TEST(Frame, WriterRefusesOversizedBodiesBeforeWriting) {
  auto ok = encode_frame(body_of(kDefaultMaxBody));
  ASSERT_TRUE(std::holds_alternative<Bytes>(ok));
  EXPECT_EQ(std::get<Bytes>(ok).size(), kDefaultMaxBody + 4);

  Bytes out = {1, 2, 3};
  auto error = append_frame(out, body_of(kDefaultMaxBody + 1));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind, FrameError::Kind::TooLarge);
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

TEST(Frame, ReaderReassemblesAnySplitIncludingEmptyFrames) {
  Bytes stream;
  for (size_t n : {0u, 1u, 300u, 0u, 5u}) ASSERT_FALSE(append_frame(stream, body_of(n, uint8_t(n))));
  for (size_t chunk : {1u, 3u, 4u, 7u, 1000u}) {
    FrameReader reader;
    std::vector<Bytes> frames;
    for (size_t i = 0; i < stream.size(); i += chunk) {
      reader.feed(std::span(stream).subspan(i, std::min(chunk, stream.size() - i)));
      while (auto f = reader.next()) frames.push_back(*f);
    }
    ASSERT_EQ(frames.size(), 5u) << chunk;
    EXPECT_EQ(frames[2], body_of(300, 44));
    EXPECT_TRUE(frames[0].empty());
    EXPECT_FALSE(reader.finish()) << "clean end at a frame boundary";
  }
}

TEST(Frame, TruncatedStreamsAreClassified) {
  Bytes stream;
  ASSERT_FALSE(append_frame(stream, body_of(10)));
  struct Case {
    size_t keep;
    FrameError::Kind kind;
    uint64_t got;
  } cases[] = {{1, FrameError::Kind::TruncatedPrefix, 1},
               {3, FrameError::Kind::TruncatedPrefix, 3},
               {4, FrameError::Kind::TruncatedBody, 0},
               {13, FrameError::Kind::TruncatedBody, 9}};
  for (const auto& c : cases) {
    FrameReader reader;
    reader.feed(std::span(stream).first(c.keep));
    EXPECT_FALSE(reader.next());
    auto error = reader.finish();
    ASSERT_TRUE(error) << c.keep;
    EXPECT_EQ(error->kind, c.kind);
    EXPECT_EQ(error->got, c.got);
    EXPECT_FALSE(error->display().empty());
  }
}

TEST(Frame, ReaderRejectsAnOversizedPrefixAndStaysFailed) {
  FrameReader reader;
  uint32_t len = kDefaultMaxBody + 1;
  Bytes prefix = {uint8_t(len), uint8_t(len >> 8), uint8_t(len >> 16), uint8_t(len >> 24)};
  reader.feed(prefix);
  ASSERT_TRUE(reader.error());
  EXPECT_EQ(reader.error()->kind, FrameError::Kind::TooLarge);
  EXPECT_EQ(reader.buffered(), 0u);  // nothing allocated for the refused body
  Bytes good;
  ASSERT_FALSE(append_frame(good, body_of(2)));
  reader.feed(good);
  EXPECT_FALSE(reader.next());
}

}  // namespace
}  // namespace kivo_frame
