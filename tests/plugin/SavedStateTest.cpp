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
using kelo::testhost::BufferStream;
using kelo::testhost::contentOf;
using kelo::testhost::streamFrom;

namespace {

using kelo::testing::kDefaultText;
using kelo::testing::kMaxStateBytes;

const std::string kLyricsText =
    R"({"autoFill":false,"barsPerLine":4,"displayMode":1,"language":3,"script":"[30] Hallo \u00e9\n","timerTicks":8,"timerUnit":1,"version":2})";
// The same document as saved: non-ASCII characters as raw UTF-8.
const std::string kLyricsSaved =
    "{\"autoFill\":false,\"barsPerLine\":4,\"displayMode\":1,\"language\":3,\"nextLine\":true,\"script\":\"[30] Hallo \xC3\xA9\\n\",\"timerTicks\":8,\"timerUnit\":1,\"version\":2}";

// A component's state calls, so each case runs against both components.
struct StateCalls
{
	const char* name;
	std::function<tresult (kelo::testhost::PluginInstance&, IBStream*)> load;
	std::function<tresult (kelo::testhost::PluginInstance&, IBStream*)> save;
};

const StateCalls kComponents[] = {
    {"processor", [] (auto& i, IBStream* s) { return i.component ()->setState (s); },
     [] (auto& i, IBStream* s) { return i.component ()->getState (s); }},
    {"controller component state",
     [] (auto& i, IBStream* s) { return i.controller ()->setComponentState (s); },
     [] (auto& i, IBStream* s) { return i.controller ()->getState (s); }},
    {"controller state", [] (auto& i, IBStream* s) { return i.controller ()->setState (s); },
     [] (auto& i, IBStream* s) { return i.controller ()->getState (s); }},
};

class SavedState : public kelo::testing::LoadedPlugin
{
protected:
	std::string saved (const StateCalls& calls)
	{
		auto stream = owned (new BufferStream);
		EXPECT_EQ (calls.save (*instance, stream), kResultOk) << calls.name;
		return stream->bytes ();
	}
};

TEST_F (SavedState, AFreshComponentSavesTheDefaultDocumentExactly)
{
	for (const auto& calls : kComponents)
		EXPECT_EQ (saved (calls), kDefaultText) << calls.name;
}

TEST_F (SavedState, WhatIsSavedLoadsBackIntoAnEqualDocument)
{
	for (const auto& calls : kComponents)
	{
		ASSERT_EQ (calls.load (*instance, streamFrom (kLyricsText)), kResultOk) << calls.name;
		const std::string first = saved (calls);
		EXPECT_EQ (first, kLyricsSaved) << calls.name;
		ASSERT_EQ (calls.load (*instance, streamFrom (first)), kResultOk) << calls.name;
		EXPECT_EQ (saved (calls), first) << calls.name;
	}
}

// What the build before "nextLine" saved (each text without that key) comes back with only the key added.
TEST_F (SavedState, DocumentsSavedBeforeTheNextLineSettingSaveAsBeforePlusItsDefault)
{
	const std::string kBeatMarkers =
	    R"({"autoFill":true,"barsPerLine":16,"displayMode":0,"language":5,"nextLine":true,"script":"[12.3] x [timer|4]\t\u0001","timerTicks":256,"timerUnit":3,"version":2})";
	for (const std::string& after : {kDefaultText, kBeatMarkers, kLyricsSaved})
		for (const auto& calls : kComponents)
		{
			ASSERT_EQ (calls.load (*instance, streamFrom (std::string (after).erase (after.find ("\"nextLine\":true,"), 16))), kResultOk);
			EXPECT_EQ (saved (calls), after) << calls.name;
		}
}

TEST_F (SavedState, AStreamThatDeliversOddChunksIsReadWhole)
{
	for (const auto& calls : kComponents)
	{
		auto stream = owned (new kelo::testhost::ChunkedStream (kLyricsText));
		ASSERT_EQ (calls.load (*instance, stream), kResultOk) << calls.name;
		EXPECT_NE (saved (calls).find ("Hallo"), std::string::npos) << calls.name;
	}
}

TEST_F (SavedState, ALeadingByteOrderMarkIsAccepted)
{
	for (const auto& calls : kComponents)
		EXPECT_EQ (calls.load (*instance, streamFrom ("\xEF\xBB\xBF" + kLyricsText)), kResultOk)
		    << calls.name;
}

TEST_F (SavedState, RefusedStreamsKeepThePreviousDocument)
{
	const std::string oversized = R"({"script":")" + std::string (kMaxStateBytes, 'a') + R"("})";
	for (const auto& calls : kComponents)
	{
		ASSERT_EQ (calls.load (*instance, streamFrom (kLyricsText)), kResultOk);
		const std::string before = saved (calls);

		EXPECT_EQ (calls.load (*instance, nullptr), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom ("")), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom ("[]")), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom ("{\"script\":")), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom (kDefaultText + " x")), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom ("{/*c*/}")), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom (R"({"autoFill":1})")), kResultFalse) << calls.name;
		EXPECT_EQ (calls.load (*instance, streamFrom (oversized)), kResultFalse) << calls.name;
		auto failing = owned (new kelo::testhost::FailingStream (
		    kelo::testhost::FailingStream::Mode::kFail, kLyricsText));
		EXPECT_EQ (calls.load (*instance, failing), kResultFalse) << calls.name;
		auto lying = owned (new kelo::testhost::LyingStream (kDefaultText, 1));
		EXPECT_EQ (calls.load (*instance, lying), kResultFalse) << calls.name;

		EXPECT_EQ (saved (calls), before) << calls.name;
	}
}

TEST_F (SavedState, AnOversizedStreamIsRefusedBeforeItIsReadToTheEnd)
{
	const std::string oversized (kMaxStateBytes + 4096 * 4, ' ');
	auto stream = owned (new BufferStream (oversized));
	EXPECT_EQ (instance->component ()->setState (stream), kResultFalse);
	EXPECT_LE (stream->position (), static_cast<int64> (kMaxStateBytes + 4096));
}

TEST_F (SavedState, TheOlderBarsFormComesBackAsAScript)
{
	const std::string legacy = R"({"version":1,"bars":[[{"text":"One"}],[],[{"text":"Three"}]],"timerTicks":3})";
	for (const auto& calls : kComponents)
	{
		ASSERT_EQ (calls.load (*instance, streamFrom (legacy)), kResultOk) << calls.name;
		EXPECT_EQ (saved (calls),
		           R"({"autoFill":true,"barsPerLine":2,"displayMode":0,"language":0,"nextLine":true,"script":"[1] One\n[3] Three\n","timerTicks":3,"timerUnit":2,"version":2})")
		    << calls.name;
	}
}

TEST_F (SavedState, SavingToABadStreamReportsItAndChangesNothing)
{
	for (const auto& calls : kComponents)
	{
		EXPECT_EQ (calls.save (*instance, nullptr), kInvalidArgument) << calls.name;
		auto failing = owned (new kelo::testhost::FailingStream (kelo::testhost::FailingStream::Mode::kFail));
		EXPECT_EQ (calls.save (*instance, failing), kResultFalse) << calls.name;
		auto shortWrite = owned (new kelo::testhost::FailingStream (
		    kelo::testhost::FailingStream::Mode::kShortWrite));
		EXPECT_EQ (calls.save (*instance, shortWrite), kResultFalse) << calls.name;
		EXPECT_EQ (saved (calls), kDefaultText) << calls.name;
	}
}

TEST_F (SavedState, TheProcessorDoesNotPassALoadedStateToTheController)
{
	ASSERT_EQ (instance->component ()->setState (streamFrom (kLyricsText)), kResultOk);
	EXPECT_EQ (saved (kComponents[1]), kDefaultText);
	ASSERT_EQ (instance->syncControllerState (), kResultOk);
	EXPECT_EQ (saved (kComponents[1]), saved (kComponents[0]));
}

} // namespace
