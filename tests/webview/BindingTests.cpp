// Binding and unbinding page functions: which names are taken, and what the
// page and later documents are given. (The stub's behaviour in a JavaScript
// engine: PageScriptTests.)
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CallScripts.h"
#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;

json ReturnTrue(Webview*, int, const std::string&, const json&) {
  return true;
}

// Two calls' worth of settling output for `name`.
std::vector<std::string> CallTwice(RecordingWebview& webview, const std::string& name) {
  for (int id : {1, 2}) webview.OnBrowserMessage(json{{"id", id}, {"method", name}, {"params", json::array()}}.dump());
  return webview.EvaluatedScripts();
}

TEST(BindFunction, AddsTheStubAsAnInitScriptAndMakesPlainIdentifiersCallable) {
  for (const std::string name : {"keloRead", "keloOpenBrand", "_x", "$", "a1_$"}) {
    RecordingWebview webview;
    EXPECT_TRUE(webview.BindFunction(name, ReturnTrue)) << name;
    EXPECT_EQ(webview.initScripts, std::vector<std::string>{MakeStubScript(name)}) << name;
    EXPECT_NE(MakeStubScript(name).find("var name = '" + name + "';"), std::string::npos);
    EXPECT_EQ(CallTwice(webview, name),
              (std::vector<std::string>{"window._rpc[1].resolve(true); delete window._rpc[1]",
                                        "window._rpc[2].resolve(true); delete window._rpc[2]"}));
  }
}

TEST(BindFunction, BindingANameTwiceKeepsTheSecondFunctionAndAddsBothStubs) {
  RecordingWebview webview;
  webview.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) { return json("first"); });
  webview.BindFunction("keloRead", [](Webview*, int, const std::string&, const json&) { return json("second"); });
  EXPECT_EQ(webview.initScripts, (std::vector<std::string>(2, MakeStubScript("keloRead"))));
  webview.OnBrowserMessage(R"({"id":1,"method":"keloRead"})");
  EXPECT_EQ(webview.EvaluatedScripts(),
            std::vector<std::string>{R"(window._rpc[1].resolve("second"); delete window._rpc[1])"});
}

TEST(BindFunction, RefusesNamesThatCouldBreakOutOfTheStubAndLeavesEarlierBindingsAlone) {
  const std::string hostile[] = {
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
    webview.BindFunction("keloRead", ReturnTrue);
    EXPECT_FALSE(webview.BindFunction(name, ReturnTrue)) << name;
    EXPECT_EQ(webview.initScripts.size(), 1u) << name;
    EXPECT_EQ(CallTwice(webview, name).size(), 0u) << name;
    EXPECT_EQ(CallTwice(webview, "keloRead").size(), 2u) << name;
  }
}

TEST(UnbindFunction, RemovesTheNameFromLaterDocumentsAndTheCurrentOneOnlyIfBound) {
  RecordingWebview webview;
  webview.BindFunction("keloWrite", ReturnTrue);
  webview.BindFunction("keloRead", ReturnTrue);
  webview.UnbindFunction("keloWrite");
  webview.UnbindFunction("keloWrite");
  webview.UnbindFunction("it's");

  const std::string remove = "delete window['keloWrite'];";
  EXPECT_EQ(webview.initScripts,
            (std::vector<std::string>{MakeStubScript("keloWrite"), MakeStubScript("keloRead"), remove}));
  ASSERT_EQ(webview.EvaluatedScripts(), std::vector<std::string>{remove});
  ASSERT_TRUE(webview.evaluations[0].callback);
  webview.evaluations[0].callback(json(42));  // the result is of no interest

  EXPECT_EQ(CallTwice(webview, "keloWrite").size(), 1u) << "a call after unbinding is not answered";
  EXPECT_EQ(CallTwice(webview, "keloRead").size(), 3u);
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

}  // namespace
}  // namespace webhost
