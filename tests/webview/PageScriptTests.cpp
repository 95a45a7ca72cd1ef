// The page side of the call protocol, proven in a real JavaScript engine: the
// scripts the native side produces run in a Node.js context that stands in
// for one browser document (js/run-scripts.mjs).
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CallScripts.h"
#include "RecordingWebview.h"

namespace webhost {
namespace {

using testing::RecordingWebview;

// Text that breaks naive script generation: non-ASCII, quotes, backslashes,
// control characters, the two line terminators that once were not allowed in
// script strings, markup that ends an inline script, and a NUL.
const std::string kHostileText =
    "Gr\xC3\xBC\xC3\x9F \xE6\xAD\x8C \xF0\x9F\x8E\xB5 ' \" \\ \\u0041 \n\r\t \xE2\x80\xA8 \xE2\x80\xA9 </script><!-- ${x} `" +
    std::string(1, '\0') + "end";

// One fresh document running `page` (see js/run-scripts.mjs); what it saw, or
// a discarded value when Node.js failed.
json RunPage(const json& page) {
  setenv("KELO_PAGE_RUN", page.dump().c_str(), 1);
  FILE* node = popen("\"" KELO_NODE "\" \"" KELO_RUN_SCRIPTS "\"", "r");
  std::string out;
  char buffer[4096];
  for (size_t got; node != nullptr && (got = fread(buffer, 1, sizeof buffer, node)) > 0;) out.append(buffer, got);
  const bool ran = node != nullptr && pclose(node) == 0;
  return ran ? json::parse(out, nullptr, false) : json(json::value_t::discarded);
}

// The settling scripts for `posted`, answered last call first so that each
// script must find its own entry.
std::vector<std::string> Answer(RecordingWebview& webview, const json& posted) {
  for (auto message = posted.rbegin(); message != posted.rend(); ++message)
    webview.OnBrowserMessage(message->get<std::string>());
  return webview.EvaluatedScripts();
}

TEST(PageScripts, CallsPostSharedNumbersAndOnlyTheirOwnDocumentsSettlingScriptsSettleThemWithTheTextIntact) {
  // The controller's three names, plus one bound and then taken back.
  RecordingWebview webview;
  webview.BindFunction("keloRead", [](Webview*, int seq, const std::string&, const json&) {
    return json{{"seq", seq}, {"text", kHostileText}};
  });
  webview.BindFunction("keloWrite", [](Webview*, int, const std::string&, const json& params) { return params; });
  webview.BindFunction("keloOpenBrand", [](Webview*, int, const std::string&, const json&) -> json {
    throw std::runtime_error("shell refused");
  });
  webview.BindFunction("keloGone", [](Webview*, int, const std::string&, const json&) { return json(true); });
  webview.UnbindFunction("keloGone");
  webview.evaluations.clear();

  // The document-creation scripts in the order the browser adds them.
  std::vector<std::string> init = {kExternalInvokeScript};
  init.insert(init.end(), webview.initScripts.begin(), webview.initScripts.end());
  json page = json::parse(R"({
    "probe": ["keloRead", "keloWrite", "keloOpenBrand", "keloGone"],
    "calls": [
      {"name": "keloRead", "args": "[-1]"},
      {"name": "keloWrite", "args": "[{lyrics: '[30] \\u2028</script>\\u00e9', timerTicks: 4}]"},
      {"name": "keloRead", "args": "[undefined, function() {}, NaN, 'x']"},
      {"name": "keloOpenBrand", "args": "[]"}
    ]
  })");
  page["init"] = init;
  const json first = RunPage(page);
  ASSERT_FALSE(first.is_discarded()) << "Node.js could not run the page";
  EXPECT_EQ(first["functions"], json::parse(R"({"keloRead":"function","keloWrite":"function",
                                                "keloOpenBrand":"function","keloGone":"undefined"})"));
  const json written = {{"lyrics", "[30] \xE2\x80\xA8</script>\xC3\xA9"}, {"timerTicks", 4}};
  EXPECT_EQ(first["posted"], json::array({
                                 R"({"id":1,"method":"keloRead","params":[-1]})",
                                 json{{"id", 2}, {"method", "keloWrite"}, {"params", {written}}}.dump(),
                                 R"({"id":3,"method":"keloRead","params":[null,null,null,"x"]})",
                                 R"({"id":4,"method":"keloOpenBrand","params":[]})",
                             }));
  EXPECT_EQ(first["pending"], json::array({"1", "2", "3", "4"}));
  EXPECT_EQ(first["outcomes"], json(std::vector<json>(4, {{"state", "pending"}})));

  page["settle"] = Answer(webview, first["posted"]);
  ASSERT_EQ(page["settle"].size(), 4u);
  const json settled = RunPage(page);
  EXPECT_EQ(settled["settleErrors"], json::array());
  EXPECT_EQ(settled["pending"], json::array());
  EXPECT_EQ(settled["outcomes"], json::array({
                                     {{"state", "resolved"}, {"value", {{"seq", 1}, {"text", kHostileText}}}},
                                     {{"state", "resolved"}, {"value", json::array({written})}},
                                     {{"state", "resolved"}, {"value", {{"seq", 3}, {"text", kHostileText}}}},
                                     {{"state", "rejected"}, {"value", "Invalid native request"}},
                                 }));

  // After a reload the document's call numbers start elsewhere, so the old
  // document's settling scripts settle nothing in it.
  page["random"] = 0.5;
  const json next = RunPage(page);
  EXPECT_EQ(next["posted"][0], R"({"id":536870913,"method":"keloRead","params":[-1]})");
  EXPECT_EQ(next["settleErrors"].size(), 4u);
  EXPECT_EQ(next["pending"].size(), 4u);
}

}  // namespace
}  // namespace webhost
