// The test host's stream doubles: the plug-in tests pass vacuously if one of
// them stops misbehaving the way its name says. Everything else in the host is
// exercised by the plug-in tests through the real module.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kelo::testhost;
using namespace Steinberg;

// ---------------------------------------------------------------------------
// Streams

TEST(TestHostStreams, OddChunksDeliverEveryByteInShortReads) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += static_cast<char>('a' + i % 26);
  ChunkedStream stream(text);
  char buffer[64];
  int32 count = 0;
  EXPECT_EQ(stream.read(buffer, sizeof(buffer), &count), kResultOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(stream.read(buffer, sizeof(buffer), &count), kResultOk);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(contentOf(&stream), text);
}

TEST(TestHostStreams, FailingStreamsStoreAndDeliverNothingOrLess) {
  FailingStream broken(FailingStream::Mode::kFail, "content");
  char buffer[16];
  int32 count = 99;
  EXPECT_EQ(broken.read(buffer, sizeof(buffer), &count), kResultFalse);
  EXPECT_EQ(count, 0);
  count = 99;
  EXPECT_EQ(broken.write(buffer, 4, &count), kResultFalse);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(broken.bytes(), "content");

  FailingStream full(FailingStream::Mode::kShortWrite);
  char text[] = "abcdef";
  EXPECT_EQ(full.write(text, 6, &count), kResultOk);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(full.bytes(), "abcde");
}

TEST(TestHostStreams, ALyingStreamOverstatesButNeverWritesPastTheBuffer) {
  LyingStream stream("0123456789", 3);
  char buffer[8];
  std::memset(buffer, '#', sizeof(buffer));
  int32 count = 0;
  EXPECT_EQ(stream.read(buffer, 4, &count), kResultOk);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(std::string(buffer, 8), "0123####");
  stream.read(buffer, 8, &count);
  EXPECT_EQ(stream.read(buffer, 8, &count), kResultOk);
  EXPECT_EQ(count, 0);
}
