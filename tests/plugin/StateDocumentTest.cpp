// The StateDocument's text form and normalizeState, checked on the core
// library both components link.
#include "StateDocument.h"

#include "StateTexts.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace kelo {
namespace {

using kelo::testing::kDefaultText;

json normalized(const std::string& text) {
  return normalizeState(json::parse(text));
}

// The message of what normalizeState threw, or "".
std::string rejection(const json& input) {
  try {
    normalizeState(input);
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

std::string typeError(int id, const std::string& text) {
  return "[json.exception.type_error." + std::to_string(id) + "] " + text;
}

TEST(StateDocumentText, KeysAreInByteOrderNonAsciiRawControlsEscapedAndInvalidUtf8Refused) {
  json document = json::object();
  for (const char* key : {"version", "timerUnit", "script", "language", "autoFill", "nextLine", "timerTicks",
                          "displayMode", "barsPerLine"})
    document[key] = makeDefaultState()[key];
  EXPECT_EQ(stateText(document), kDefaultText);

  document["script"] = std::string("\xC3\xA9\nb\x01/c", 7);
  EXPECT_NE(stateText(document).find("\"script\":\"\xC3\xA9\\nb\\u0001/c\""), std::string::npos);
  document["script"] = std::string("\xFF\xFE");
  EXPECT_THROW(stateText(document), json::type_error);
}

TEST(NormalizeState, KeepsTheInputDropsUnknownKeysAndSetsTheVersion) {
  EXPECT_EQ(stateText(normalized("{}")), kDefaultText);
  const json input = json::parse(R"({"version":1,"extra":[1,2],"script":"x"})");
  const json copy = input;
  json result = normalizeState(input);
  EXPECT_EQ(input, copy);
  EXPECT_EQ(result["version"], 2);
  EXPECT_FALSE(result.contains("extra"));
  EXPECT_EQ(result.size(), 9u);
  EXPECT_EQ(normalized(R"({"version":"new"})")["version"], 2);
}

// One setting of a normalised document: the input, the key, and its value there.
struct Normalised {
  const char* input;
  const char* key;
  json expected;
};

TEST(NormalizeState, SettingsAreConvertedClampedAndLegacyBarsBecomeAScript) {
  const Normalised cases[] = {
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
      // nextLine takes numbers too, as a boolean.
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
      {R"({"bars":[]})", "script", ""},
      // Legacy bars keep their own bar numbers; pieces of the wrong shape are skipped.
      {R"({"bars":[[{"text":" Hello "},{"text":"world"}],[],[{"text":"\t"}],[{"text":"again"}]]})", "script",
       "[1] Hello world\n[4] again\n"},
      {R"({"bars":[[{"text":5},"bare",{"other":"x"},{"text":"kept"}],"notAnArray"]})", "script", "[1] kept\n"},
      // Inner line breaks stay; only blank ends are trimmed.
      {R"({"bars":[[{"text":"\r\n a\nb \u00a0"}]]})", "script", "[1] a\nb \xC2\xA0\n"},
  };
  for (const auto& c : cases) {
    json result = normalized(c.input);
    EXPECT_EQ(result[c.key], c.expected) << c.input;
    EXPECT_EQ(result[c.key].type(), c.expected.type()) << c.input;
  }
}

TEST(NormalizeState, RefusesWithTheExactMessageAndTheFirstFaultInCheckingOrderDecides) {
  const std::pair<const char*, std::string> cases[] = {
      {"[]", "State must be an object"},
      {"\"text\"", "State must be an object"},
      {"42", "State must be an object"},
      {"null", "State must be an object"},
      {R"({"script":5})", typeError(302, "type must be string, but is number")},
      {R"({"script":null})", typeError(302, "type must be string, but is null")},
      {R"({"timerTicks":"4"})", typeError(302, "type must be number, but is string")},
      {R"({"language":null})", typeError(302, "type must be number, but is null")},
      {R"({"displayMode":[1]})", typeError(302, "type must be number, but is array")},
      {R"({"autoFill":1})", typeError(302, "type must be boolean, but is number")},
      {R"({"nextLine":"on"})", typeError(302, "type must be boolean, but is string")},
      {R"({"nextLine":null})", typeError(302, "type must be boolean, but is null")},
      {R"({"autoFill":1,"timerTicks":"x","script":2})", typeError(302, "type must be string, but is number")},
      {R"({"autoFill":1,"timerTicks":"x"})", typeError(302, "type must be number, but is string")},
      {R"({"bars":{}})", "Invalid legacy bars"},
      {R"({"bars":null})", "Invalid legacy bars"},
  };
  for (const auto& c : cases) EXPECT_EQ(rejection(json::parse(c.first)), c.second) << c.first;
}

TEST(NormalizeState, LegacyBarsAreBounded) {
  json bars = json::array();
  for (int i = 0; i < 10000; ++i) bars.push_back(json::array());
  bars.back() = json::parse(R"([{"text":"last"}])");
  EXPECT_EQ(normalizeState(json{{"bars", bars}})["script"], "[10000] last\n");
  bars.push_back(json::array());
  EXPECT_EQ(rejection(json{{"bars", bars}}), "Invalid legacy bars");
}

TEST(NormalizeState, ResultTextMayBeExactlyTheLimitButNotOneByteMore) {
  const std::size_t room = kMaxStateBytes - kDefaultText.size();
  json input = {{"script", std::string(room, 'a')}};
  EXPECT_EQ(stateText(normalizeState(input)).size(), kMaxStateBytes);

  input["script"] = std::string(room + 1, 'a');
  EXPECT_EQ(rejection(input), "State too large");
  // Escapes count in the text: a line break is two bytes there.
  input["script"] = std::string(room / 2 + 1, '\n');
  EXPECT_EQ(rejection(input), "State too large");
}

TEST(NormalizeState, InvalidUtf8InAScriptBuiltInMemoryIsRefused) {
  EXPECT_THROW(normalizeState(json{{"script", std::string("ok\xC3")}}), json::type_error);
}

}  // namespace
}  // namespace kelo
