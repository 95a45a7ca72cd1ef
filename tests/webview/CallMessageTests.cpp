#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;

// What a bound function was called with.
struct Received {
  int calls = 0;
  Webview* webview = nullptr;
  int seq = 0;
  std::string name;
  json params;
};

// A web view with "keloRead" bound to a function that records its call and
// returns `result`.
struct Fixture {
  RecordingWebview webview;
  Received received;

  explicit Fixture(json result = true) {
    webview.BindFunction("keloRead", [this, result](Webview* view, int seq, const std::string& name,
                                                    const json& params) {
      ++received.calls;
      received = {received.calls, view, seq, name, params};
      return result;
    });
  }

  std::vector<std::string> Send(const std::string& message) {
    webview.OnBrowserMessage(message);
    return webview.EvaluatedScripts();
  }
};

std::vector<std::string> Resolved(int seq, const std::string& value) {
  const std::string entry = "window._rpc[" + std::to_string(seq) + "]";
  return {entry + ".resolve(" + value + "); delete " + entry};
}

std::vector<std::string> Rejected(int seq) {
  const std::string entry = "window._rpc[" + std::to_string(seq) + "]";
  return {entry + R"(.reject("Invalid native request"); delete )" + entry};
}

const std::vector<std::string> kNoAnswer;

TEST(CallMessage, RunsTheBoundFunctionWithItsWebviewSequenceNameAndParams) {
  Fixture fixture;
  EXPECT_EQ(fixture.Send(R"({"id":3,"method":"keloRead","params":[-1,{"a":"b"}]})"), Resolved(3, "true"));
  EXPECT_EQ(fixture.received.calls, 1);
  EXPECT_EQ(fixture.received.webview, &fixture.webview);
  EXPECT_EQ(fixture.received.seq, 3);
  EXPECT_EQ(fixture.received.name, "keloRead");
  EXPECT_EQ(fixture.received.params, json::parse(R"([-1,{"a":"b"}])"));
  EXPECT_EQ(fixture.webview.dispatchCount, 1);
}

TEST(CallMessage, MissingParamsReachTheFunctionAsNull) {
  Fixture fixture;
  EXPECT_EQ(fixture.Send(R"({"id":2,"method":"keloRead"})"), Resolved(2, "true"));
  EXPECT_TRUE(fixture.received.params.is_null());
}

TEST(CallMessage, IdsAreConvertedToSigned32BitSequenceNumbers) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"3.9", 3},
      {"-0.9", 0},
      {"true", 1},
      {"false", 0},
      {"4294967299", 3},                   // low 32 bits of 2^32 + 3
      {"2147483648", -2147483647 - 1},     // two's complement wrap
      {"18446744073709551615", -1},        // largest unsigned: all ones
      {"-4294967295", 1},
      {"2147483647.9", 2147483647},
      {"-2147483648.9", -2147483647 - 1},
  };
  for (const auto& [id, seq] : cases) {
    Fixture fixture;
    EXPECT_EQ(fixture.Send(R"({"id":)" + id + R"(,"method":"keloRead","params":[]})"),
              Resolved(seq, "true"))
        << "id " << id;
    EXPECT_EQ(fixture.received.seq, seq) << "id " << id;
  }
}

TEST(CallMessage, AMethodThatIsNotAStringIsRejected) {
  for (const std::string method : {"", R"(,"method":null)", R"(,"method":5)", R"(,"method":["keloRead"])"}) {
    Fixture fixture;
    EXPECT_EQ(fixture.Send(R"({"id":5)" + method + "}"), Rejected(5)) << method;
    EXPECT_EQ(fixture.received.calls, 0) << method;
  }
}

TEST(CallMessage, ANameThatIsNotBoundProducesNoScriptAtAll) {
  Fixture fixture;
  EXPECT_EQ(fixture.Send(R"({"id":1,"method":"keloWrite","params":[]})"), kNoAnswer);
  EXPECT_EQ(fixture.Send(R"({"id":2,"method":"keloread","params":[]})"), kNoAnswer);
  EXPECT_EQ(fixture.webview.dispatchCount, 0);
}

TEST(CallMessage, AFunctionThatThrowsIsRejectedWithoutItsOwnMessage) {
  RecordingWebview webview;
  webview.BindFunction("keloWrite", [](Webview*, int, const std::string&, const json& params) -> json {
    if (params.is_null())
      throw std::invalid_argument("State must be an object");
    throw 42; // not even a std::exception
  });
  webview.OnBrowserMessage(R"({"id":8,"method":"keloWrite"})");
  webview.OnBrowserMessage(R"({"id":9,"method":"keloWrite","params":[]})");
  EXPECT_EQ(webview.EvaluatedScripts(),
            (std::vector<std::string>{Rejected(8)[0], Rejected(9)[0]}));
}

TEST(CallMessage, ANegativeIdIsAnsweredOnSuccessButNotOnFailure) {
  Fixture fixture;
  EXPECT_EQ(fixture.Send(R"({"id":-4,"method":"keloRead"})"), Resolved(-4, "true"));

  RecordingWebview failing;
  failing.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) -> json {
    throw std::runtime_error("no");
  });
  failing.OnBrowserMessage(R"({"id":-4,"method":"keloRead"})");
  failing.OnBrowserMessage(R"({"id":-1,"method":7})");
  EXPECT_EQ(failing.EvaluatedScripts(), kNoAnswer);
}

TEST(SettlingScript, WritesNonAsciiTextAsRawUtf8AndEscapesOnlyWhatJsonMust) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F \xE6\xAD\x8C \xF0\x9F\x8E\xB5 \"q\" \\ \n </script>";
  Fixture fixture{json{{"text", text}, {"bars", {1, 2.5}}}};
  EXPECT_EQ(fixture.Send(R"({"id":6,"method":"keloRead"})"),
            Resolved(6, R"({"bars":[1,2.5],"text":"Grüß 歌 🎵 \"q\" \\ \n </script>"})"));
}

TEST(SettlingScript, AResultHoldingInvalidUtf8IsRejected) {
  for (const std::string bad : {"\xFF", "ab\xC3", "\xED\xA0\x80" /* encoded surrogate */}) {
    Fixture fixture{json::array({"fine", bad})};
    EXPECT_EQ(fixture.Send(R"({"id":11,"method":"keloRead"})"), Rejected(11));
    EXPECT_EQ(fixture.received.calls, 1);
  }
}

TEST(SettlingScript, IsIssuedThroughDispatchWithItsOwnCopyOfTheResult) {
  Fixture fixture{json::array({"a long enough string to live on the heap, not inline", 1})};
  fixture.webview.deferDispatch = true;
  EXPECT_EQ(fixture.Send(R"({"id":12,"method":"keloRead"})"), kNoAnswer);
  EXPECT_EQ(fixture.webview.dispatchCount, 1);
  fixture.webview.RunDispatched();
  EXPECT_EQ(fixture.webview.EvaluatedScripts(),
            Resolved(12, R"(["a long enough string to live on the heap, not inline",1])"));
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
  webview.OnBrowserMessage(R"({"id":1,"method":"keloRead"})"); // would terminate if anything escaped
  EXPECT_EQ(webview.attempts, 2) << "the resolve, then the reject, were both attempted";
}

} // namespace
} // namespace webhost
