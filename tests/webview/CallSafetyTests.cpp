// Call messages that could leave the page waiting for ever, exhaust the
// stack, or outlive the web view they arrived on; and those left unanswered
// because no call number can be read from them.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;

std::string Nested(const std::string& open, const std::string& close, int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

struct Case {
  const char* name;
  std::string message;
  int answered;  // the call number settled, or 0 for no answer
  bool resolved; // resolved (the function ran) rather than rejected
};

const Case kCases[] = {
    {"cut off after its id", R"({"id":1,"method":"keloRead")", 1, false},
    {"a comment after the call", R"({"id":2,"method":"keloRead"} // x)", 2, false},
    {"a lone surrogate in a string", R"({"id":3,"method":"keloRead","params":["\ud800"]})", 3, false},
    {"spaces around a cut-off id", " {\n\"id\" : 4 ,\"method\":", 4, false},
    {"20,000 levels of arrays", R"({"id":5,"method":"keloRead","params":)" + Nested("[", "]", 20000) + "}", 5, false},
    {"20,000 levels of objects", R"({"id":6,"method":"keloRead","params":[)" + Nested(R"({"a":)", "}", 20000) + "]}", 6, false},
    {"the deepest call accepted", R"({"id":7,"method":"keloRead","params":)" + Nested("[", "]", 31) + "}", 7, true},
    {"a negative id that does not parse", R"({"id":-8,"method":)", 0, false},
    {"an id of eleven digits", R"({"id":12345678901,"method":)", 0, false},
    {"an id that is not first", R"({"method":"keloRead","id":9)", 0, false},
    {"nothing", "", 0, false},
    {"no JSON", "not json", 0, false},
    {"an array", R"([1,"keloRead",[]])", 0, false},
    {"a string", R"("keloRead")", 0, false},
    {"no id", R"({"method":"keloRead"})", 0, false},
    {"a null id", R"({"id":null,"method":"keloRead"})", 0, false},
    {"a string id", R"({"id":"1","method":"keloRead"})", 0, false},
    {"an array id", R"({"id":[1],"method":"keloRead"})", 0, false},
    {"an object id", R"({"id":{},"method":"keloRead"})", 0, false},
    {"an id beyond the 32-bit range", R"({"id":1e300,"method":"keloRead","params":[]})", 0, false},
    {"a negative id beyond the range", R"({"id":-2147483649.0,"method":"keloRead","params":[]})", 0, false},
    {"an id just beyond the range", R"({"id":2147483648.0,"method":"keloRead","params":[]})", 0, false},
};

TEST(CallSafety, EveryCallWhoseNumberCanBeReadIsSettledAndDeepOnesAreRefused) {
  for (const Case& item : kCases) {
    RecordingWebview webview;
    int calls = 0;
    webview.BindFunction("keloRead", [&](Webview*, int, const std::string&, const json&) { return ++calls; });
    webview.OnBrowserMessage(item.message);
    std::vector<std::string> expected;
    if (item.answered != 0) {
      const std::string entry = "window._rpc[" + std::to_string(item.answered) + "]";
      expected.push_back(entry + (item.resolved ? ".resolve(1)" : R"(.reject("Invalid native request"))") +
                         "; delete " + entry);
    }
    EXPECT_EQ(webview.EvaluatedScripts(), expected) << item.name;
    EXPECT_EQ(calls, item.resolved ? 1 : 0) << item.name;
  }
}

// A web view that reports its scripts to a log that outlives it.
struct LoggingWebview : RecordingWebview {
  std::vector<std::string>* log = nullptr;
  void EvalJS(const std::string& js, std::function<void(const json&)>) override { log->push_back(js); }
};

TEST(CallSafety, AFunctionDuringWhichTheWebviewIsRemovedSettlesNothing) {
  for (const bool throws : {false, true}) {
    std::vector<std::string> log;
    auto webview = std::make_unique<LoggingWebview>();
    webview->log = &log;
    Webview* raw = webview.get();
    raw->BindFunction("keloOpenBrand", [&](Webview*, int, const std::string&, const json&) -> json {
      webview.reset(); // as a host does that closes the editor while the shell pumps messages
      if (throws) throw std::runtime_error("gone");
      return true;
    });
    raw->OnBrowserMessage(R"({"id":1,"method":"keloOpenBrand","params":[]})");
    EXPECT_EQ(webview, nullptr);
    EXPECT_TRUE(log.empty()) << throws;
  }
}

} // namespace
} // namespace webhost
