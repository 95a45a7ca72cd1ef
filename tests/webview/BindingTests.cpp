#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CallScripts.h"
#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;

json ReturnTrue(Webview*, int, const std::string&, const json&) { return true; }

// Two calls' worth of settling output for `name`, after binding it.
std::vector<std::string> CallTwice(RecordingWebview& webview, const std::string& name) {
  for (int id : {1, 2})
    webview.OnBrowserMessage(json{{"id", id}, {"method", name}, {"params", json::array()}}.dump());
  return webview.EvaluatedScripts();
}

TEST(StubScript, IsTheNameBetweenTheFixedOpeningAndTheSeventeenLineBody) {
  const std::vector<std::string> lines = {
      "     var RPC = window._rpc = (window._rpc || {nextSeq: 1});",
      "     window[name] = function() {",
      "       var seq = RPC.nextSeq++;",
      "       var promise = new Promise(function(resolve, reject) {",
      "         RPC[seq] = {",
      "           resolve: resolve,",
      "           reject: reject,",
      "         };",
      "       });",
      "       window.external.invoke(JSON.stringify({",
      "         id: seq,",
      "         method: name,",
      "         params: Array.prototype.slice.call(arguments),",
      "       }));",
      "       return promise;",
      "     }",
      "   })()",
  };
  std::string expected = "(function() { var name = 'keloRead';";
  for (const auto& line : lines)
    expected += "\n" + line;

  EXPECT_EQ(std::string(kStubBody).size(), 481u);
  EXPECT_EQ(MakeStubScript("keloRead"), expected);
}

TEST(BindFunction, AddsTheStubAsAnInitScriptAndMakesTheNameCallable) {
  RecordingWebview webview;
  EXPECT_TRUE(webview.BindFunction("keloRead", ReturnTrue));
  ASSERT_EQ(webview.initScripts, std::vector<std::string>{MakeStubScript("keloRead")});
  EXPECT_TRUE(webview.evaluations.empty());

  webview.OnBrowserMessage(R"({"id":7,"method":"keloRead","params":[]})");
  EXPECT_EQ(webview.EvaluatedScripts(),
            std::vector<std::string>{"window._rpc[7].resolve(true); delete window._rpc[7]"});
}

TEST(BindFunction, BindingANameTwiceKeepsTheSecondFunctionAndAddsBothStubs) {
  RecordingWebview webview;
  webview.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) { return json("first"); });
  webview.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) { return json("second"); });

  EXPECT_EQ(webview.initScripts,
            (std::vector<std::string>{MakeStubScript("keloRead"), MakeStubScript("keloRead")}));
  webview.OnBrowserMessage(R"({"id":1,"method":"keloRead"})");
  EXPECT_EQ(webview.EvaluatedScripts(),
            std::vector<std::string>{R"(window._rpc[1].resolve("second"); delete window._rpc[1])"});
}

TEST(BindFunction, AcceptsPlainIdentifiers) {
  for (const std::string name : {"keloRead", "keloWrite", "keloOpenBrand", "_x", "$", "a1_$"}) {
    RecordingWebview webview;
    EXPECT_TRUE(webview.BindFunction(name, ReturnTrue)) << name;
    EXPECT_EQ(CallTwice(webview, name).size(), 2u) << name;
  }
}

TEST(BindFunction, RefusesNamesThatCouldBreakOutOfTheStubAndBindsNothing) {
  const std::vector<std::string> hostile = {
      "",
      "it's",
      "back\\slash",
      "line\nfeed",
      "carriage\rreturn",
      "line\xE2\x80\xA8separator",
      "paragraph\xE2\x80\xA9separator",
      "</script>",
      "a'; alert(1); var b='",
      "with space",
      "1starts_with_digit",
      "caf\xC3\xA9",
      std::string("nul\0byte", 8),
  };
  for (const auto& name : hostile) {
    RecordingWebview webview;
    EXPECT_FALSE(webview.BindFunction(name, ReturnTrue)) << name;
    EXPECT_TRUE(webview.initScripts.empty()) << name;
    EXPECT_TRUE(CallTwice(webview, name).empty()) << name;
  }
}

TEST(BindFunction, RefusingANameLeavesAnEarlierBindingAlone) {
  RecordingWebview webview;
  webview.BindFunction("keloRead", ReturnTrue);
  EXPECT_FALSE(webview.BindFunction("kelo'Read", ReturnTrue));
  EXPECT_EQ(CallTwice(webview, "keloRead").size(), 2u);
}

TEST(UnbindFunction, RemovesTheNameFromLaterDocumentsAndTheCurrentOne) {
  RecordingWebview webview;
  webview.BindFunction("keloWrite", ReturnTrue);
  webview.UnbindFunction("keloWrite");

  const std::string remove = "delete window['keloWrite'];";
  EXPECT_EQ(webview.initScripts, (std::vector<std::string>{MakeStubScript("keloWrite"), remove}));
  ASSERT_EQ(webview.EvaluatedScripts(), std::vector<std::string>{remove});
  ASSERT_TRUE(webview.evaluations[0].callback);
  webview.evaluations[0].callback(json(42)); // the result is of no interest

  EXPECT_EQ(CallTwice(webview, "keloWrite").size(), 1u) << "a call after unbinding is not answered";
}

TEST(UnbindFunction, DoesNothingForANameThatIsNotBound) {
  RecordingWebview webview;
  webview.BindFunction("keloRead", ReturnTrue);
  webview.UnbindFunction("keloWrite");
  webview.UnbindFunction("it's");
  EXPECT_EQ(webview.initScripts.size(), 1u);
  EXPECT_TRUE(webview.evaluations.empty());
  EXPECT_EQ(CallTwice(webview, "keloRead").size(), 2u);
}

TEST(UnbindFunction, CanBeCalledByTheBoundFunctionItself) {
  RecordingWebview webview;
  // The function's own state is used after it has unbound itself.
  const std::string reply(64, 'r');
  webview.BindFunction("keloOpenBrand", [reply](Webview* view, int, const std::string& name, const json&) {
    view->UnbindFunction(name);
    return json(reply);
  });
  webview.OnBrowserMessage(R"({"id":4,"method":"keloOpenBrand"})");
  EXPECT_EQ(webview.EvaluatedScripts(),
            (std::vector<std::string>{"delete window['keloOpenBrand'];",
                                      "window._rpc[4].resolve(\"" + reply + "\"); delete window._rpc[4]"}));
}

} // namespace
} // namespace webhost
