// Call messages from the page: which are settled, with what call number and
// how, and those that could leave the page waiting for ever, exhaust the
// stack, or outlive the web view they arrived on.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;

std::string Settled(int seq, bool resolved, const std::string& value = "1") {
  const std::string entry = "window._rpc[" + std::to_string(seq) + "]";
  return entry + (resolved ? ".resolve(" + value + ")" : R"(.reject("Invalid native request"))") + "; delete " + entry;
}

std::string Nested(const std::string& open, const std::string& close, int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

enum Answer { kNone, kResolve, kReject };

struct Case {
  std::string message;
  Answer answer;
  int seq;  // the call number settled
};

// Each message arrives on a web view with "keloRead" bound.
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
    // A method that is not a string is refused.
    {R"({"id":5})", kReject, 5},
    {R"({"id":5,"method":null})", kReject, 5},
    {R"({"id":5,"method":5})", kReject, 5},
    {R"({"id":5,"method":["keloRead"]})", kReject, 5},
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
    webview.BindFunction("keloRead", [&](Webview*, int seq, const std::string&, const json&) {
      seen = seq;
      return ++calls;
    });
    webview.OnBrowserMessage(item.message);
    const std::string shown = item.message.substr(0, 80);
    std::vector<std::string> expected;
    if (item.answer != kNone) expected.push_back(Settled(item.seq, item.answer == kResolve));
    EXPECT_EQ(webview.EvaluatedScripts(), expected) << shown;
    EXPECT_EQ(calls, item.answer == kResolve ? 1 : 0) << shown;
    EXPECT_EQ(seen, item.answer == kResolve ? item.seq : 0) << shown;
    EXPECT_EQ(webview.dispatchCount, item.answer == kNone ? 0 : 1) << shown;
  }
}

TEST(CallMessage, TheFunctionGetsItsWebviewNameAndParamsWithMissingParamsAsNull) {
  RecordingWebview webview;
  std::vector<json> received;
  webview.BindFunction("keloRead", [&](Webview* view, int, const std::string& name, const json& params) {
    EXPECT_EQ(view, &webview);
    received.push_back(json{name, params});
    return true;
  });
  webview.OnBrowserMessage(R"({"id":3,"method":"keloRead","params":[-1,{"a":"b"}]})");
  webview.OnBrowserMessage(R"({"id":2,"method":"keloRead"})");
  EXPECT_EQ(json(received), json::parse(R"([["keloRead",[-1,{"a":"b"}]],["keloRead",null]])"));
}

TEST(CallMessage, AFunctionThatThrowsIsRejectedWithoutItsOwnMessageUnlessItsIdIsNegative) {
  RecordingWebview webview;
  webview.BindFunction("keloWrite", [](Webview*, int, const std::string&, const json& params) -> json {
    if (params.is_null()) throw std::invalid_argument("State must be an object");
    throw 42;  // not even a std::exception
  });
  webview.OnBrowserMessage(R"({"id":8,"method":"keloWrite"})");
  webview.OnBrowserMessage(R"({"id":9,"method":"keloWrite","params":[]})");
  webview.OnBrowserMessage(R"({"id":-4,"method":"keloWrite"})");
  EXPECT_EQ(webview.EvaluatedScripts(), (std::vector<std::string>{Settled(8, false), Settled(9, false)}));
}

TEST(SettlingScript, WritesNonAsciiAsRawUtf8EscapesOnlyWhatJsonMustAndRefusesInvalidUtf8) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F \xE6\xAD\x8C \xF0\x9F\x8E\xB5 \"q\" \\ \n </script>";
  const std::pair<json, std::string> cases[] = {
      {json{{"text", text}, {"bars", {1, 2.5}}}, R"({"bars":[1,2.5],"text":"Grüß 歌 🎵 \"q\" \\ \n </script>"})"},
      {json::array({"fine", "\xFF"}), ""},
      {json::array({"fine", "ab\xC3"}), ""},
      {json::array({"fine", "\xED\xA0\x80" /* encoded surrogate */}), ""},
  };
  for (const auto& entry : cases) {
    const json& result = entry.first;
    const std::string& script = entry.second;
    RecordingWebview webview;
    webview.BindFunction("keloRead", [&result](Webview*, int, const std::string&, const json&) { return result; });
    webview.OnBrowserMessage(R"({"id":6,"method":"keloRead"})");
    EXPECT_EQ(webview.EvaluatedScripts(), std::vector<std::string>{Settled(6, !script.empty(), script)});
  }
}

TEST(SettlingScript, IsIssuedThroughDispatchWithItsOwnCopyOfTheResult) {
  RecordingWebview webview;
  const json result = json::array({"a long enough string to live on the heap, not inline", 1});
  webview.BindFunction("keloRead", [result](Webview*, int, const std::string&, const json&) { return result; });
  webview.deferDispatch = true;
  webview.OnBrowserMessage(R"({"id":12,"method":"keloRead"})");
  EXPECT_TRUE(webview.evaluations.empty());
  webview.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) { return json(); });
  webview.RunDispatched();
  EXPECT_EQ(webview.EvaluatedScripts(), std::vector<std::string>{Settled(12, true, result.dump())});
}

// An embedding whose browser fails while settling.
class ThrowingWebview : public RecordingWebview {
 public:
  void EvalJS(const std::string&, std::function<void(const json&)>) override {
    ++attempts;
    throw std::runtime_error("browser gone");
  }
  int attempts = 0;
};

TEST(CallMessage, NothingThrownWhileSettlingLeavesOnBrowserMessage) {
  ThrowingWebview webview;
  webview.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) { return json(1); });
  webview.OnBrowserMessage(R"({"id":1,"method":"keloRead"})");  // would terminate if anything escaped
  EXPECT_EQ(webview.attempts, 2) << "the resolve, then the reject, were both attempted";
}

// A web view that reports its scripts to a log that outlives it.
struct LoggingWebview : RecordingWebview {
  std::vector<std::string>* log = nullptr;
  void EvalJS(const std::string& js, std::function<void(const json&)>) override { log->push_back(js); }
};

TEST(CallMessage, AFunctionDuringWhichTheWebviewIsRemovedSettlesNothing) {
  for (const bool throws : {false, true}) {
    std::vector<std::string> log;
    auto webview = std::make_unique<LoggingWebview>();
    webview->log = &log;
    Webview* raw = webview.get();
    raw->BindFunction("keloOpenBrand", [&](Webview*, int, const std::string&, const json&) -> json {
      webview.reset();  // as a host does that closes the editor while the shell pumps messages
      if (throws) throw std::runtime_error("gone");
      return true;
    });
    raw->OnBrowserMessage(R"({"id":1,"method":"keloOpenBrand","params":[]})");
    EXPECT_EQ(webview, nullptr);
    EXPECT_TRUE(log.empty()) << throws;
  }
}

}  // namespace
}  // namespace webhost
