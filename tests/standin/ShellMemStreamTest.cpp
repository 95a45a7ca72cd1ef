// SHCreateMemStream: the stream WebView2 responses are built from.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <string>

namespace {

using Microsoft::WRL::ComPtr;

std::string ReadAll(IStream* stream, ULONG chunk) {
  std::string bytes;
  char buffer[64];
  for (;;) {
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, chunk, &read), S_OK);
    if (read == 0) return bytes;
    bytes.append(buffer, read);
  }
}

TEST(ShellMemStream, HoldsACopyOfTheBytesReadableInAnyChunkSize) {
  std::string source = "0123456789abcdefghij";
  ComPtr<IStream> stream;
  stream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>(source.data()), static_cast<UINT>(source.size())));
  ASSERT_TRUE(stream);
  source[0] = 'X';  // the stream copied
  EXPECT_EQ(ReadAll(stream.Get(), 7), "0123456789abcdefghij");
  LARGE_INTEGER start{};
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(stream.Get(), 1), "0123456789abcdefghij");
}

TEST(ShellMemStream, SeekAndStatReportPositionsAndSize) {
  const BYTE bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  ComPtr<IStream> stream;
  stream.Attach(SHCreateMemStream(bytes, 10));
  LARGE_INTEGER move{};
  ULARGE_INTEGER position{};
  move.QuadPart = -3;
  ASSERT_EQ(stream->Seek(move, STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 7u);
  move.QuadPart = 1;
  ASSERT_EQ(stream->Seek(move, STREAM_SEEK_CUR, &position), S_OK);
  BYTE one = 0;
  ULONG read = 0;
  stream->Read(&one, 1, &read);
  EXPECT_EQ(one, 8);
  move.QuadPart = -20;
  EXPECT_EQ(stream->Seek(move, STREAM_SEEK_CUR, &position), STG_E_INVALIDFUNCTION);

  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 10u);
  EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
}

TEST(ShellMemStream, ReadingPastTheEndGivesWhatIsLeftThenNothing) {
  const BYTE bytes[3] = {1, 2, 3};
  ComPtr<IStream> stream;
  stream.Attach(SHCreateMemStream(bytes, 3));
  BYTE buffer[8] = {};
  ULONG read = 0;
  EXPECT_EQ(stream->Read(buffer, 8, &read), S_OK);
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(stream->Read(buffer, 8, &read), S_OK);
  EXPECT_EQ(read, 0u);
}

TEST(ShellMemStream, AnswersForItsInterfacesOnly) {
  ComPtr<IStream> stream;
  stream.Attach(SHCreateMemStream(nullptr, 5));  // null data: an empty stream
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_DEFAULT);
  EXPECT_EQ(stat.cbSize.QuadPart, 0u);
  ComPtr<ISequentialStream> sequential;
  EXPECT_EQ(stream.As(&sequential), S_OK);
  EXPECT_EQ(static_cast<ISequentialStream*>(stream.Get()), sequential.Get());
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(stream.As(&unknown), S_OK);
  void* other = reinterpret_cast<void*>(1);
  const GUID unrelated{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(stream->QueryInterface(unrelated, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

}  // namespace
