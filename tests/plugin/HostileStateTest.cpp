// Odd and hostile state texts through every route a text enters by: the
// processor's setState, the controller's setComponentState and setState, and
// a "KeloState" message. Each is refused with the previous document kept, or
// read into a whole document with the script stated.
#include "Attribute.h"
#include "LoadedPlugin.h"
#include "MessageSender.h"
#include "StreamText.h"

#include "StateTexts.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <string>

using namespace Steinberg;
namespace testhost = kelo::testhost;
namespace host = kelo::host;

namespace {

const std::string kRefused = "<refused>";

std::string times(const std::string& piece, std::size_t count) {
  std::string text;
  while (count-- > 0) text += piece;
  return text;
}

struct Case {
  const char* name;
  std::string text;
  std::string script;  // or kRefused
};

std::vector<Case> cases() {
  // 10,000 bars of five pieces each, as the older form saved them.
  std::string legacy =
      R"({"bars":[)" + times(R"([{"text":" w "},{"text":"w"},{"text":"w"},{"text":"w"},{"text":"w"}],)", 10000);
  legacy.back() = ']';
  std::string legacyScript;
  for (int bar = 1; bar <= 10000; ++bar) legacyScript += "[" + std::to_string(bar) + "] w w w w w\n";
  using kelo::testing::kDefaultText;
  return {
      {"nothing", "", kRefused},
      {"an array", "[]", kRefused},
      {"a cut-off document", R"({"script":)", kRefused},
      {"text after the document", kDefaultText + " x", kRefused},
      {"a second document", R"({"script":"a"} {})", kRefused},
      {"a comment", "{/*c*/}", kRefused},
      {"a setting of the wrong type", R"({"autoFill":1})", kRefused},
      {"a larger document than allowed", R"({"script":")" + std::string(kelo::testing::kMaxStateBytes, 'a') + R"("})",
       kRefused},
      {"unknown keys", R"({"script":"[9] x","language":9,"extra":true})", "[9] x"},
      {"a NUL after a document", std::string("{\"language\":1}\0", 15) + times("x", 1000), kRefused},
      {"an empty object and a NUL", std::string("{}\0", 3), kRefused},
      {"1 MiB of [", times("[", 1 << 20), kRefused},
      {"deep nesting in the script", R"({"script":)" + times("[", 20000) + times("]", 20000) + "}", kRefused},
      {"deep nesting under an unknown key", R"({"x":)" + times(R"({"a":)", 100000) + times("}", 100001), kRefused},
      {"shallow nesting under an unknown key", R"({"script":"kept","x":)" + times("[", 50) + times("]", 50) + "}",
       "kept"},
      {"many empty objects under an unknown key", R"({"x":[{})" + times(",{}", 200000) + R"(],"script":"many"})",
       "many"},
      {"a number beyond the double range", R"({"timerTicks":1e400})", kRefused},
      {"invalid UTF-8", "{\"script\":\"\xC3\x28\"}", kRefused},
      {"a lone surrogate", R"({"script":"\ud800"})", kRefused},
      {"a byte-order mark", "\xEF\xBB\xBF{\"script\":\"bom\"}", "bom"},
      {"legacy bars of odd shapes",
       R"({"bars":[[{"text":"a","text":5},{"text":"b"}],5,[[{"text":"no"}]],[{"text":{"x":1}},{"text":" c "}],[{"text":"y","text":"z"}]],"x":{"bars":1}})",
       "[1] b\n[4] c\n[5] z\n"},
      {"repeated bars keys", R"({"bars":[[{"text":"a"}]],"bars":[[{"text":"b"}]]})", "[1] b\n"},
      {"legacy bars of real size", legacy + "}", legacyScript},
      {"10,001 legacy bars", R"({"bars":[[])" + times(",[]", 10000) + "]}", kRefused},
      {"10,001 legacy bars beside a script", R"({"script":"wins","bars":[0)" + times(",0", 10000) + "]}", "wins"},
  };
}

struct Route {
  const char* name;
  std::function<tresult(host::PluginInstance&, const std::string&)> load;
  std::function<tresult(host::PluginInstance&, IBStream*)> save;
};

const Route kRoutes[] = {
    {"processor setState",
     [](auto& i, const std::string& t) { return i.component()->setState(testhost::streamFrom(t)); },
     [](auto& i, IBStream* s) { return i.component()->getState(s); }},
    {"controller setComponentState",
     [](auto& i, const std::string& t) { return i.controller()->setComponentState(testhost::streamFrom(t)); },
     [](auto& i, IBStream* s) { return i.controller()->getState(s); }},
    {"controller setState",
     [](auto& i, const std::string& t) { return i.controller()->setState(testhost::streamFrom(t)); },
     [](auto& i, IBStream* s) { return i.controller()->getState(s); }},
    {"KeloState message",
     [](auto& i, const std::string& t) {
       return testhost::sendMessage(i.processorConnection(), "KeloState", {host::binaryAttribute("json", t)});
     },
     [](auto& i, IBStream* s) { return i.component()->getState(s); }},
};

class HostileState : public kelo::testing::LoneProcessor {
 protected:
  std::string saved(const Route& route) {
    auto stream = owned(new host::BufferStream);
    EXPECT_EQ(route.save(*instance, stream), kResultOk);
    return stream->bytes();
  }
};

TEST_F(HostileState, EachTextIsRefusedOrReadOnEveryRoute) {
  for (const Case& item : cases())
    for (const Route& route : kRoutes) {
      SCOPED_TRACE(std::string(item.name) + " via " + route.name);
      ASSERT_EQ(route.load(*instance, R"({"script":"before"})"), kResultOk);
      const std::string before = saved(route);
      const bool refused = item.script == kRefused;
      EXPECT_EQ(route.load(*instance, item.text), refused ? kResultFalse : kResultOk);
      const std::string after = saved(route);
      if (refused)
        EXPECT_EQ(after, before);
      else {
        EXPECT_NE(after.find("\"script\":" + nlohmann::json(item.script).dump()), std::string::npos);
        EXPECT_EQ(nlohmann::json::parse(after).size(), 9u);
      }
    }
}

}  // namespace
