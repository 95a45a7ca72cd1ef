// Saving and restoring the project data through both components of the
// built module, with the streams a host may hand over.
#include "ChunkedStream.h"
#include "FailingStream.h"
#include "LyingStream.h"
#include "LoadedPlugin.h"
#include "StreamText.h"

#include "StateTexts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace Steinberg;
using kelo::host::BufferStream;
using kelo::testhost::contentOf;
using kelo::testhost::streamFrom;

namespace {

using kelo::testing::kDefaultText;
using kelo::testing::kMaxStateBytes;

const std::string kLyricsText =
    R"({"autoFill":false,"barsPerLine":4,"displayMode":1,"language":3,"nextLine":false,"script":"[30] Hallo \u00e9\n","timerTicks":8,"timerUnit":1,"version":2})";
// The same document as saved: non-ASCII characters as raw UTF-8.
const std::string kLyricsSaved =
    "{\"autoFill\":false,\"barsPerLine\":4,\"displayMode\":1,\"language\":3,\"nextLine\":false,\"script\":\"[30] Hallo \xC3\xA9\\n\",\"timerTicks\":8,\"timerUnit\":1,\"version\":2}";

// A component's state calls, so each case runs against both components.
struct StateCalls {
  const char* name;
  std::function<tresult(kelo::host::PluginInstance&, IBStream*)> load;
  std::function<tresult(kelo::host::PluginInstance&, IBStream*)> save;
};

const StateCalls kComponents[] = {
    {"processor", [](auto& i, IBStream* s) { return i.component()->setState(s); },
     [](auto& i, IBStream* s) { return i.component()->getState(s); }},
    {"controller component state", [](auto& i, IBStream* s) { return i.controller()->setComponentState(s); },
     [](auto& i, IBStream* s) { return i.controller()->getState(s); }},
    {"controller state", [](auto& i, IBStream* s) { return i.controller()->setState(s); },
     [](auto& i, IBStream* s) { return i.controller()->getState(s); }},
};

class SavedState : public kelo::testing::LoadedPlugin {
 protected:
  std::string saved(const StateCalls& calls) {
    auto stream = owned(new BufferStream);
    EXPECT_EQ(calls.save(*instance, stream), kResultOk) << calls.name;
    return stream->bytes();
  }
};

TEST_F(SavedState, AFreshComponentSavesTheDefaultDocumentAndWhatIsSavedLoadsBackEqual) {
  for (const auto& calls : kComponents) EXPECT_EQ(saved(calls), kDefaultText) << calls.name;
  for (const auto& calls : kComponents) {
    ASSERT_EQ(calls.load(*instance, streamFrom(kLyricsText)), kResultOk) << calls.name;
    const std::string first = saved(calls);
    EXPECT_EQ(first, kLyricsSaved) << calls.name;
    ASSERT_EQ(calls.load(*instance, streamFrom(first)), kResultOk) << calls.name;
    EXPECT_EQ(saved(calls), first) << calls.name;
  }
}

// What the build before "nextLine" saved (each text without that key) comes back with only the key added.
TEST_F(SavedState, DocumentsSavedBeforeTheNextLineSettingSaveAsBeforePlusItsDefault) {
  const std::string kBeatMarkers =
      R"({"autoFill":true,"barsPerLine":16,"displayMode":0,"language":5,"nextLine":true,"script":"[12.3] x [timer|4]\t\u0001","timerTicks":256,"timerUnit":3,"version":2})";
  for (const std::string& after : {kDefaultText, kBeatMarkers})
    for (const auto& calls : kComponents) {
      ASSERT_EQ(calls.load(*instance, streamFrom(std::string(after).erase(after.find("\"nextLine\":true,"), 16))),
                kResultOk);
      EXPECT_EQ(saved(calls), after) << calls.name;
    }
}

// Texts of every kind on every route: HostileStateTest. Here, the streams.
TEST_F(SavedState, StreamsInOddChunksAreReadWholeAndFailingOnesKeepThePreviousDocument) {
  for (const auto& calls : kComponents) {
    auto chunked = owned(new kelo::testhost::ChunkedStream(kLyricsText));
    ASSERT_EQ(calls.load(*instance, chunked), kResultOk) << calls.name;
    EXPECT_EQ(saved(calls), kLyricsSaved) << calls.name;

    EXPECT_EQ(calls.load(*instance, nullptr), kResultFalse) << calls.name;
    auto failing = owned(new kelo::testhost::FailingStream(kelo::testhost::FailingStream::Mode::kFail, kDefaultText));
    EXPECT_EQ(calls.load(*instance, failing), kResultFalse) << calls.name;
    auto lying = owned(new kelo::testhost::LyingStream(kDefaultText, 1));
    EXPECT_EQ(calls.load(*instance, lying), kResultFalse) << calls.name;
    EXPECT_EQ(saved(calls), kLyricsSaved) << calls.name;
  }
}

TEST_F(SavedState, AnOversizedStreamIsRefusedBeforeItIsReadToTheEnd) {
  const std::string oversized(kMaxStateBytes + 4096 * 4, ' ');
  auto stream = owned(new BufferStream(oversized));
  EXPECT_EQ(instance->component()->setState(stream), kResultFalse);
  EXPECT_LE(stream->position(), static_cast<int64>(kMaxStateBytes + 4096));
}

TEST_F(SavedState, SavingToABadStreamReportsItAndChangesNothing) {
  for (const auto& calls : kComponents) {
    EXPECT_EQ(calls.save(*instance, nullptr), kInvalidArgument) << calls.name;
    for (auto mode : {kelo::testhost::FailingStream::Mode::kFail, kelo::testhost::FailingStream::Mode::kShortWrite})
      EXPECT_EQ(calls.save(*instance, owned(new kelo::testhost::FailingStream(mode))), kResultFalse) << calls.name;
    EXPECT_EQ(saved(calls), kDefaultText) << calls.name;
  }
}

TEST_F(SavedState, TheProcessorDoesNotPassALoadedStateToTheController) {
  ASSERT_EQ(instance->component()->setState(streamFrom(kLyricsText)), kResultOk);
  EXPECT_EQ(saved(kComponents[1]), kDefaultText);
  ASSERT_EQ(instance->syncControllerState(), kResultOk);
  EXPECT_EQ(saved(kComponents[1]), saved(kComponents[0]));
}

}  // namespace
