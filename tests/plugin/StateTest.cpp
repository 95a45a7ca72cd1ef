// The project data through every route a text enters the built module by:
// the processor's setState, the controller's setComponentState and setState,
// and a "KeloState" message. Each text is refused with the previous document
// kept, or read into a whole document, as every earlier Kelo saved it.
#include "Attribute.h"
#include "ChunkedStream.h"
#include "FailingStream.h"
#include "LoadedPlugin.h"
#include "LyingStream.h"
#include "Message.h"
#include "MessageSender.h"
#include "StreamText.h"

#include "StateTexts.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

using namespace Steinberg;
namespace testhost = kelo::testhost;
namespace host = kelo::host;
using nlohmann::json;

namespace {

using kelo::testing::kDefaultText;
using kelo::testing::kMaxStateBytes;

const std::string kLyricsText =
    R"({"autoFill":false,"barsPerLine":4,"displayMode":1,"language":3,"nextLine":false,"script":"[30] Hallo \u00e9\n","timerTicks":8,"timerUnit":1,"version":2})";
// The same document as saved: non-ASCII characters as raw UTF-8.
const std::string kLyricsSaved =
    "{\"autoFill\":false,\"barsPerLine\":4,\"displayMode\":1,\"language\":3,\"nextLine\":false,\"script\":\"[30] Hallo \xC3\xA9\\n\",\"timerTicks\":8,\"timerUnit\":1,\"version\":2}";

std::string times(const std::string& piece, std::size_t count) {
  std::string text;
  while (count-- > 0) text += piece;
  return text;
}

struct Route {
  const char* name;
  std::function<tresult(host::PluginInstance&, IBStream*)> load, save;
};

// The first three take the host's stream itself; the message carries its bytes.
const Route kRoutes[] = {
    {"processor", [](auto& i, IBStream* s) { return i.component()->setState(s); },
     [](auto& i, IBStream* s) { return i.component()->getState(s); }},
    {"controller component state", [](auto& i, IBStream* s) { return i.controller()->setComponentState(s); },
     [](auto& i, IBStream* s) { return i.controller()->getState(s); }},
    {"controller state", [](auto& i, IBStream* s) { return i.controller()->setState(s); },
     [](auto& i, IBStream* s) { return i.controller()->getState(s); }},
    {"KeloState message",
     [](auto& i, IBStream* s) {
       return testhost::sendMessage(i.processorConnection(), "KeloState",
                                    {host::binaryAttribute("json", testhost::contentOf(s))});
     },
     [](auto& i, IBStream* s) { return i.component()->getState(s); }},
};
const std::vector<Route> kStreamRoutes(kRoutes, kRoutes + 3);

class State : public kelo::testing::LoneProcessor {
 protected:
  std::string saved(const Route& route) {
    auto stream = owned(new host::BufferStream);
    EXPECT_EQ(route.save(*instance, stream), kResultOk) << route.name;
    return stream->bytes();
  }
  tresult load(const Route& route, const std::string& text) {
    return route.load(*instance, testhost::streamFrom(text));
  }
};

// Texts refused on every route, the previous document kept.
std::vector<std::string> refused() {
  return {"",
          "[]",
          "\"text\"",
          "42",
          "null",
          R"({"script":)",
          kDefaultText + " x",
          R"({"script":"a"} {})",
          "{/*c*/}",
          std::string("{\"language\":1}\0", 15) + times("x", 1000),
          std::string("{}\0", 3),
          R"({"script":5})",
          R"({"script":null})",
          R"({"timerTicks":"4"})",
          R"({"language":null})",
          R"({"displayMode":[1]})",
          R"({"autoFill":1})",
          R"({"nextLine":"on"})",
          R"({"nextLine":null})",
          R"({"timerTicks":1e400})",
          "{\"script\":\"\xC3\x28\"}",
          R"({"script":"\ud800"})",
          times("[", 1 << 20),
          R"({"script":)" + times("[", 20000) + times("]", 20000) + "}",
          R"({"x":)" + times(R"({"a":)", 100000) + times("}", 100001),
          R"({"bars":{}})",
          R"({"bars":null})",
          R"({"bars":[[])" + times(",[]", 10000) + "]}",
          R"({"script":")" + std::string(kMaxStateBytes, 'a') + R"("})"};
}

// Texts read, and one setting of the document each is read into.
struct Read {
  std::string text;
  const char* key;
  json value;
};

std::vector<Read> read() {
  // 10,000 bars of five pieces each, as the older form saved them.
  std::string legacy =
      R"({"bars":[)" + times(R"([{"text":" w "},{"text":"w"},{"text":"w"},{"text":"w"},{"text":"w"}],)", 10000);
  legacy.back() = ']';
  std::string legacyScript;
  for (int bar = 1; bar <= 10000; ++bar) legacyScript += "[" + std::to_string(bar) + "] w w w w w\n";
  return {
      {R"({"script":"kept","x":)" + times("[", 50) + times("]", 50) + "}", "script", "kept"},
      {R"({"x":[{})" + times(",{}", 200000) + R"(],"script":"many"})", "script", "many"},
      {"\xEF\xBB\xBF{\"script\":\"bom\"}", "script", "bom"},
      // Unknown keys are dropped and the version set.
      {R"({"version":1,"extra":[1,2],"script":"x"})", "version", 2},
      {R"({"version":"new"})", "version", 2},
      {R"({"script":"[9] x","language":9})", "language", 5},
      // Settings are converted and clamped; nextLine takes numbers too, as a boolean.
      {R"({"timerTicks":0})", "timerTicks", 1},
      {R"({"timerTicks":300})", "timerTicks", 256},
      {R"({"timerTicks":2.9})", "timerTicks", 2},
      {R"({"timerTicks":-0.5})", "timerTicks", 1},
      {R"({"timerTicks":true})", "timerTicks", 1},
      {R"({"timerUnit":7})", "timerUnit", 3},
      {R"({"timerUnit":false})", "timerUnit", 0},
      {R"({"language":-1})", "language", 0},
      {R"({"language":4})", "language", 4},
      {R"({"displayMode":true})", "displayMode", 1},
      {R"({"barsPerLine":0})", "barsPerLine", 1},
      {R"({"barsPerLine":17})", "barsPerLine", 16},
      {R"({"autoFill":false})", "autoFill", false},
      {R"({"nextLine":false})", "nextLine", false},
      {"{}", "nextLine", true},
      {R"({"nextLine":0})", "nextLine", false},
      {R"({"nextLine":-0.0})", "nextLine", false},
      {R"({"nextLine":0.25})", "nextLine", true},
      {R"({"nextLine":18446744073709551615})", "nextLine", true},
      // Integers keep their low 32 bits: 2^32 + 5 is 5, and 2^32 - 1 is -1, clamped.
      {R"({"timerTicks":4294967301})", "timerTicks", 5},
      {R"({"timerTicks":4294967295})", "timerTicks", 1},
      {R"({"timerTicks":18446744073709551615})", "timerTicks", 1},
      // Floating-point values beyond the 32-bit range saturate.
      {R"({"timerTicks":1e300})", "timerTicks", 256},
      {R"({"timerTicks":-1e300})", "timerTicks", 1},
      {R"({"language":3e9})", "language", 5},
      {R"({"timerUnit":-3e9})", "timerUnit", 0},
      {R"({"timerTicks":2147483647.5})", "timerTicks", 256},
      // The script wins over legacy bars, which are then not looked at.
      {R"({"script":"a","bars":"x"})", "script", "a"},
      {R"({"script":"wins","bars":[0)" + times(",0", 10000) + "]}", "script", "wins"},
      // Legacy bars keep their own numbers; pieces of the wrong shape are skipped, the last repeated key wins.
      {R"({"bars":[]})", "script", ""},
      {R"({"bars":[[{"text":" Hello "},{"text":"world"}],[],[{"text":"\t"}],[{"text":"again"}]]})", "script",
       "[1] Hello world\n[4] again\n"},
      {R"({"bars":[[{"text":5},"bare",{"other":"x"},{"text":"kept"}],"notAnArray"]})", "script", "[1] kept\n"},
      {R"({"bars":[[{"text":"a","text":5},{"text":"b"}],5,[[{"text":"no"}]],[{"text":{"x":1}},{"text":" c "}],[{"text":"y","text":"z"}]],"x":{"bars":1}})",
       "script", "[1] b\n[4] c\n[5] z\n"},
      {R"({"bars":[[{"text":"a"}]],"bars":[[{"text":"b"}]]})", "script", "[1] b\n"},
      // Inner line breaks stay; only blank ends are trimmed.
      {R"({"bars":[[{"text":"\r\n a\nb \u00a0"}]]})", "script", "[1] a\nb \xC2\xA0\n"},
      {legacy + "}", "script", legacyScript},
      {R"({"bars":[[])" + times(",[]", 9998) + R"(,[{"text":"last"}]]})", "script", "[10000] last\n"}};
}

TEST_F(State, EachTextIsRefusedOrReadOnEveryRoute) {
  const std::string before = R"({"script":"before"})";
  for (const Route& route : kRoutes) {
    ASSERT_EQ(load(route, before), kResultOk);
    const std::string beforeSaved = saved(route);
    for (const std::string& text : refused()) {
      SCOPED_TRACE(text.substr(0, 80) + " via " + route.name);
      EXPECT_EQ(load(route, text), kResultFalse);
      EXPECT_EQ(saved(route), beforeSaved);
    }
    for (const Read& item : read()) {
      SCOPED_TRACE(item.text.substr(0, 80) + " via " + route.name);
      ASSERT_EQ(load(route, before), kResultOk);
      ASSERT_EQ(load(route, item.text), kResultOk);
      const json document = json::parse(saved(route));
      EXPECT_EQ(document[item.key].dump(), item.value.dump());
      EXPECT_NE(document["script"], "before");
      EXPECT_EQ(document.size(), 9u);
      EXPECT_EQ(document["version"], 2);
    }
  }
}

// Whitespace around a document counts in what is read, escapes in what is
// saved (a line break is two bytes there). The saved text's limit is the
// same code on every route, so one route shows it.
TEST_F(State, TextsReadAndSavedMayBeExactlyTheLimitButNotOneByteMore) {
  std::string padded = kDefaultText;
  padded.replace(padded.find("\"\""), 2, "\"lim\"");
  padded += std::string(kMaxStateBytes - padded.size(), ' ');
  for (const Route& route : {kRoutes[0], kRoutes[3]}) {
    ASSERT_EQ(load(route, padded), kResultOk) << route.name;
    EXPECT_NE(saved(route).find("\"lim\""), std::string::npos) << route.name;
    EXPECT_EQ(load(route, padded + " "), kResultFalse) << route.name;
  }
  const std::size_t room = kMaxStateBytes - kDefaultText.size();
  ASSERT_EQ(load(kRoutes[0], R"({"script":")" + std::string(room, 'a') + R"("})"), kResultOk);
  EXPECT_EQ(saved(kRoutes[0]).size(), kMaxStateBytes);
  EXPECT_EQ(load(kRoutes[0], R"({"script":")" + std::string(room + 1, 'a') + R"("})"), kResultFalse);
  EXPECT_EQ(load(kRoutes[0], R"({"script":")" + times("\\n", room / 2 + 1) + R"("})"), kResultFalse);
  EXPECT_EQ(saved(kRoutes[0]).size(), kMaxStateBytes);
}

TEST_F(State, AFreshComponentSavesTheDefaultDocumentAndWhatIsSavedLoadsBackEqual) {
  for (const auto& route : kRoutes) EXPECT_EQ(saved(route), kDefaultText) << route.name;
  for (const auto& route : kRoutes) {
    ASSERT_EQ(load(route, kLyricsText), kResultOk) << route.name;
    const std::string first = saved(route);
    EXPECT_EQ(first, kLyricsSaved) << route.name;
    ASSERT_EQ(load(route, first), kResultOk) << route.name;
    EXPECT_EQ(saved(route), first) << route.name;
  }
}

// What the build before "nextLine" saved (each text without that key) comes back with only the key added.
TEST_F(State, DocumentsSavedBeforeTheNextLineSettingSaveAsBeforePlusItsDefault) {
  const std::string kBeatMarkers =
      R"({"autoFill":true,"barsPerLine":16,"displayMode":0,"language":5,"nextLine":true,"script":"[12.3] x [timer|4]\t\u0001","timerTicks":256,"timerUnit":3,"version":2})";
  for (const std::string& after : {kDefaultText, kBeatMarkers})
    for (const auto& route : kRoutes) {
      ASSERT_EQ(load(route, std::string(after).erase(after.find("\"nextLine\":true,"), 16)), kResultOk);
      EXPECT_EQ(saved(route), after) << route.name;
    }
}

TEST_F(State, StreamsInOddChunksAreReadWholeAndFailingOnesKeepThePreviousDocument) {
  for (const auto& route : kStreamRoutes) {
    ASSERT_EQ(route.load(*instance, owned(new testhost::ChunkedStream(kLyricsText))), kResultOk) << route.name;
    EXPECT_EQ(saved(route), kLyricsSaved) << route.name;

    EXPECT_EQ(route.load(*instance, nullptr), kResultFalse) << route.name;
    auto failing = owned(new testhost::FailingStream(testhost::FailingStream::Mode::kFail, kDefaultText));
    EXPECT_EQ(route.load(*instance, failing), kResultFalse) << route.name;
    EXPECT_EQ(route.load(*instance, owned(new testhost::LyingStream(kDefaultText, 1))), kResultFalse) << route.name;
    EXPECT_EQ(saved(route), kLyricsSaved) << route.name;
  }
}

TEST_F(State, AnOversizedStreamIsRefusedBeforeItIsReadToTheEnd) {
  auto stream = owned(new host::BufferStream(std::string(kMaxStateBytes + 4096 * 4, ' ')));
  EXPECT_EQ(instance->component()->setState(stream), kResultFalse);
  EXPECT_LE(stream->position(), static_cast<int64>(kMaxStateBytes + 4096));
}

TEST_F(State, SavingToABadStreamReportsItAndChangesNothing) {
  for (const auto& route : kStreamRoutes) {
    EXPECT_EQ(route.save(*instance, nullptr), kInvalidArgument) << route.name;
    for (auto mode : {testhost::FailingStream::Mode::kFail, testhost::FailingStream::Mode::kShortWrite})
      EXPECT_EQ(route.save(*instance, owned(new testhost::FailingStream(mode))), kResultFalse) << route.name;
    EXPECT_EQ(saved(route), kDefaultText) << route.name;
  }
}

TEST_F(State, TheProcessorDoesNotPassALoadedStateToTheController) {
  ASSERT_EQ(load(kRoutes[0], kLyricsText), kResultOk);
  EXPECT_EQ(saved(kRoutes[1]), kDefaultText);
  ASSERT_EQ(instance->syncControllerState(), kResultOk);
  EXPECT_EQ(saved(kRoutes[1]), kLyricsSaved);
}

TEST_F(State, AStateMessageWithoutABinaryJsonAttributeIsRefused) {
  Vst::IConnectionPoint* processor = instance->processorConnection();
  EXPECT_EQ(testhost::sendMessage(processor, "KeloState"), kResultFalse);
  EXPECT_EQ(testhost::sendMessage(processor, "KeloState", {host::intAttribute("json", 1)}), kResultFalse);
  auto bare = owned(new host::Message);
  bare->setMessageID("KeloState");
  bare->dropAttributes();
  EXPECT_EQ(processor->notify(bare), kResultFalse);
  EXPECT_EQ(saved(kRoutes[0]), kDefaultText);
  EXPECT_TRUE(peer.messages().empty());
}

}  // namespace
