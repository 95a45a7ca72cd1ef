// The native half of the call protocol: which names may be bound, which call
// messages from the page are settled, with what call number and how, and
// those that could leave the page waiting for ever, exhaust the stack, break
// out of a script or outlive the web view they arrived on.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CallScripts.h"
#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;
using namespace std::string_literals;

json ReturnTrue(Webview*, int, const std::string&, const json&) {
  return true;
}

std::string Settled(int seq, bool resolved, const std::string& value = "1") {
  const std::string entry = "window._rpc[" + std::to_string(seq) + "]";
  return entry + (resolved ? ".resolve(" + value + ")" : R"(.reject("Invalid native request"))") + "; delete " + entry;
}

std::string Call(int id, const std::string& name) {
  return json{{"id", id}, {"method", name}, {"params", json::array()}}.dump();
}

std::string Nested(const std::string& open, const std::string& close, int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(BindFunction, TakesOnlyPlainIdentifiersAndLeavesEarlierBindingsAlone) {
  const std::vector<std::string> plain = {"keloOpenBrand", "_x", "$", "a1_$"};
  const std::vector<std::string> hostile({"", "it's", "back\\slash", "line\nfeed", "carriage\rreturn",
                                          "line\xE2\x80\xA8separator", "</script>", "a'; alert(1); var b='",
                                          "with space", "1starts_with_digit", "caf\xC3\xA9", "nul\0byte"s});
  for (const bool bindable : {true, false}) {
    for (const std::string& name : bindable ? plain : hostile) {
      RecordingWebview webview;
      webview.BindFunction("keloRead", ReturnTrue);
      EXPECT_EQ(webview.BindFunction(name, ReturnTrue), bindable) << name;
      EXPECT_EQ(webview.initScripts.back(), MakeStubScript(bindable ? name : "keloRead")) << name;
      webview.OnBrowserMessage(Call(1, name));
      webview.OnBrowserMessage(Call(2, "keloRead"));
      std::vector<std::string> expected{Settled(1, true, "true"), Settled(2, true, "true")};
      if (!bindable) expected.erase(expected.begin());
      EXPECT_EQ(webview.EvaluatedScripts(), expected) << name;
    }
  }
}

TEST(UnbindFunction, RemovesTheNameFromLaterDocumentsAndTheCurrentOneOnlyIfBoundEvenFromItsOwnFunction) {
  RecordingWebview webview;
  // Bound twice, the second function counts: it unbinds itself, then uses its own state.
  const std::string reply(64, 'r');
  webview.BindFunction("keloWrite", ReturnTrue);
  webview.BindFunction("keloWrite", [reply](Webview* view, int, const std::string& name, const json&) {
    view->UnbindFunction(name);
    return json(reply);
  });
  webview.BindFunction("keloRead", ReturnTrue);
  webview.UnbindFunction("it's");
  webview.OnBrowserMessage(Call(1, "keloWrite"));
  webview.UnbindFunction("keloWrite");
  webview.OnBrowserMessage(Call(2, "keloWrite"));  // no longer answered
  webview.OnBrowserMessage(Call(3, "keloRead"));
  const std::string remove = "delete window['keloWrite'];";
  EXPECT_EQ(webview.initScripts, (std::vector<std::string>{MakeStubScript("keloWrite"), MakeStubScript("keloWrite"),
                                                           MakeStubScript("keloRead"), remove}));
  EXPECT_EQ(webview.EvaluatedScripts(),
            (std::vector<std::string>{remove, Settled(1, true, '"' + reply + '"'), Settled(3, true, "true")}));
}

enum Answer { kNone, kResolve, kReject };

struct Case {
  std::string message;
  Answer answer;
  int seq;  // the call number settled
};

// Each message arrives on a web view with "keloRead" (which counts its calls)
// and "keloThrow" (a std::exception without params, anything else with) bound.
const Case kCases[] = {
    // Ids become signed 32-bit call numbers: integers keep their low bits,
    // floating-point values are truncated, booleans are 1 and 0.
    {R"({"id":3,"method":"keloRead","params":[-1,{"a":"b"}]})", kResolve, 3},
    {R"({"id":3.9,"method":"keloRead"})", kResolve, 3},
    {R"({"id":-0.9,"method":"keloRead"})", kResolve, 0},
    {R"({"id":true,"method":"keloRead"})", kResolve, 1},
    {R"({"id":false,"method":"keloRead"})", kResolve, 0},
    {R"({"id":4294967299,"method":"keloRead"})", kResolve, 3},
    {R"({"id":2147483648,"method":"keloRead"})", kResolve, -2147483647 - 1},
    {R"({"id":18446744073709551615,"method":"keloRead"})", kResolve, -1},
    {R"({"id":-4294967295,"method":"keloRead"})", kResolve, 1},
    {R"({"id":2147483647.9,"method":"keloRead"})", kResolve, 2147483647},
    {R"({"id":-2147483648.9,"method":"keloRead"})", kResolve, -2147483647 - 1},
    {R"({"id":-4,"method":"keloRead"})", kResolve, -4},
    {R"({"id":7,"method":"keloRead","params":)" + Nested("[", "]", 31) + "}", kResolve, 7},
    // A method that is not a string, or a function that throws, is refused.
    {R"({"id":5})", kReject, 5},
    {R"({"id":5,"method":null})", kReject, 5},
    {R"({"id":5,"method":5})", kReject, 5},
    {R"({"id":5,"method":["keloRead"]})", kReject, 5},
    {R"({"id":8,"method":"keloThrow"})", kReject, 8},
    {R"({"id":9,"method":"keloThrow","params":[]})", kReject, 9},
    // Messages that do not parse are refused when the stub's leading id can be read.
    {R"({"id":1,"method":"keloRead")", kReject, 1},
    {R"({"id":2,"method":"keloRead"} // x)", kReject, 2},
    {R"({"id":3,"method":"keloRead","params":["\ud800"]})", kReject, 3},
    {" {\n\"id\" : 4 ,\"method\":", kReject, 4},
    {R"({"id":5,"method":"keloRead","params":)" + Nested("[", "]", 20000) + "}", kReject, 5},
    {R"({"id":6,"method":"keloRead","params":[)" + Nested(R"({"a":)", "}", 20000) + "]}", kReject, 6},
    // Unknown names, negative failing ids and unreadable ids get no answer.
    {R"({"id":1,"method":"keloWrite","params":[]})", kNone, 0},
    {R"({"id":2,"method":"keloread","params":[]})", kNone, 0},
    {R"({"id":-1,"method":7})", kNone, 0},
    {R"({"id":-4,"method":"keloThrow"})", kNone, 0},
    {R"({"id":-8,"method":)", kNone, 0},
    {R"({"id":12345678901,"method":)", kNone, 0},
    {R"({"method":"keloRead","id":9)", kNone, 0},
    {"", kNone, 0},
    {"not json", kNone, 0},
    {R"([1,"keloRead",[]])", kNone, 0},
    {R"("keloRead")", kNone, 0},
    {R"({"method":"keloRead"})", kNone, 0},
    {R"({"id":null,"method":"keloRead"})", kNone, 0},
    {R"({"id":"1","method":"keloRead"})", kNone, 0},
    {R"({"id":[1],"method":"keloRead"})", kNone, 0},
    {R"({"id":{},"method":"keloRead"})", kNone, 0},
    {R"({"id":1e300,"method":"keloRead","params":[]})", kNone, 0},
    {R"({"id":-2147483649.0,"method":"keloRead","params":[]})", kNone, 0},
    {R"({"id":2147483648.0,"method":"keloRead","params":[]})", kNone, 0},
};

TEST(CallMessage, EachIsSettledForItsOwnNumberOrLeftUnanswered) {
  for (const Case& item : kCases) {
    RecordingWebview webview;
    int calls = 0;
    int seen = 0;
    json params;
    webview.BindFunction("keloRead", [&](Webview* view, int seq, const std::string& name, const json& given) {
      EXPECT_EQ(view, &webview);
      EXPECT_EQ(name, "keloRead");
      seen = seq;
      params = given;
      return ++calls;
    });
    webview.BindFunction("keloThrow", [](Webview*, int, const std::string&, const json& params) -> json {
      if (params.is_null()) throw std::invalid_argument("State must be an object");
      throw 42;
    });
    webview.OnBrowserMessage(item.message);
    const std::string shown = item.message.substr(0, 80);
    const bool resolved = item.answer == kResolve;
    std::vector<std::string> expected;
    if (item.answer != kNone) expected.push_back(Settled(item.seq, resolved));
    EXPECT_EQ(webview.EvaluatedScripts(), expected) << shown;
    EXPECT_EQ(calls, resolved ? 1 : 0) << shown;
    EXPECT_EQ(seen, resolved ? item.seq : 0) << shown;
    // The function gets the message's params, or null without any.
    EXPECT_EQ(params, resolved ? json::parse(item.message).value("params", json()) : json()) << shown;
    EXPECT_EQ(webview.dispatchCount, item.answer == kNone ? 0 : 1) << shown;
  }
}

TEST(SettlingScript, WritesNonAsciiAsRawUtf8EscapesOnlyWhatJsonMustAndRefusesInvalidUtf8) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F \xE6\xAD\x8C \xF0\x9F\x8E\xB5 \"q\" \\ \n </script>";
  const std::pair<json, std::string> cases[] = {
      {json{{"text", text}, {"bars", {1, 2.5}}}, R"({"bars":[1,2.5],"text":"Grüß 歌 🎵 \"q\" \\ \n </script>"})"},
      {json::array({"fine", "\xFF"}), ""},
      {json::array({"fine", "ab\xC3"}), ""},
      {json::array({"fine", "\xED\xA0\x80" /* encoded surrogate */}), ""},
  };
  for (const auto& [result, script] : cases) {
    RecordingWebview webview;
    const json answer = result;
    webview.BindFunction("keloRead", [answer](Webview*, int, const std::string&, const json&) { return answer; });
    webview.OnBrowserMessage(Call(6, "keloRead"));
    EXPECT_EQ(webview.EvaluatedScripts(), std::vector<std::string>{Settled(6, !script.empty(), script)});
  }
}

// An embedding whose scripts go to a log that outlives it, or whose browser
// fails while settling.
struct FragileWebview : RecordingWebview {
  std::vector<std::string>* log = nullptr;
  int attempts = 0;
  void EvalJS(const std::string& js, std::function<void(const json&)>) override {
    ++attempts;
    if (log == nullptr) throw std::runtime_error("browser gone");
    log->push_back(js);
  }
};

TEST(CallMessage, NothingThrownWhileSettlingLeavesOnBrowserMessage) {
  FragileWebview webview;
  webview.BindFunction("keloRead", ReturnTrue);
  webview.OnBrowserMessage(Call(1, "keloRead"));  // would terminate if anything escaped
  EXPECT_EQ(webview.attempts, 2) << "the resolve, then the reject, were both attempted";
}

TEST(CallMessage, AFunctionDuringWhichTheWebviewIsRemovedSettlesNothing) {
  for (const bool throws : {false, true}) {
    std::vector<std::string> log;
    auto webview = std::make_unique<FragileWebview>();
    webview->log = &log;
    Webview* raw = webview.get();
    raw->BindFunction("keloOpenBrand", [&](Webview*, int, const std::string&, const json&) -> json {
      webview.reset();  // as a host does that closes the editor while the shell pumps messages
      if (throws) throw std::runtime_error("gone");
      return true;
    });
    raw->OnBrowserMessage(Call(1, "keloOpenBrand"));
    EXPECT_EQ(webview, nullptr);
    EXPECT_TRUE(log.empty()) << throws;
  }
}

}  // namespace
}  // namespace webhost
