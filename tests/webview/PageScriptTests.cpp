// The page side of the call protocol, proven in a real JavaScript engine: the
// scripts the native side produces run in a Node.js context that stands in
// for one browser document (js/run-scripts.mjs).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CallScripts.h"
#include "RecordingWebview.h"

namespace webhost {
namespace {

namespace fs = std::filesystem;
using testing::RecordingWebview;

// Text that breaks naive script generation: non-ASCII, quotes, backslashes,
// control characters, the two line terminators that once were not allowed in
// script strings, markup that ends an inline script, and a NUL.
const std::string kHostileText = std::string(
                                     "Gr\xC3\xBC\xC3\x9F \xE6\xAD\x8C \xF0\x9F\x8E\xB5 ' \" \\ \\u0041 \n\r\t "
                                     "\xE2\x80\xA8 \xE2\x80\xA9 </script><!-- ${x} `") +
                                 std::string(1, '\0') + "end";

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

// One folder per test; each Run is a fresh document that makes the same calls.
class PageRun {
 public:
  PageRun() {
    std::random_device random;
    folder = fs::temp_directory_path() / ("kelo-page-scripts-" + std::to_string(random()));
    fs::create_directories(folder);
  }
  ~PageRun() {
    if (!::testing::Test::HasFailure()) {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  }

  // Runs init scripts, calls and (when given) settling scripts in one
  // document; returns what the page saw. Throws when Node.js could not run.
  json Run(const std::vector<std::string>& init, const json& calls, const std::vector<std::string>* settle = nullptr) {
    WriteFile(folder / "init.json", json(init).dump());
    WriteFile(folder / "calls.json", calls.dump());
    fs::remove(folder / "result.json");
    if (settle) WriteFile(folder / "settle.json", json(*settle).dump());
    const fs::path log = folder / "node.log";
    const std::string command =
        "\"" KELO_NODE "\" \"" KELO_RUN_SCRIPTS "\" \"" + folder.string() + "\" > \"" + log.string() + "\" 2>&1";
#ifdef _WIN32
    // cmd.exe drops the outermost quotes of a command that starts with one.
    const std::string shellCommand = "\"" + command + "\"";
#else
    const std::string& shellCommand = command;
#endif
    const int status = std::system(shellCommand.c_str());
    if (status != 0 || !fs::exists(folder / "result.json"))
      throw std::runtime_error("Node.js failed (" + std::to_string(status) + ") in " + folder.string() + ": " +
                               ReadFile(log));
    return json::parse(ReadFile(folder / "result.json"));
  }

 private:
  fs::path folder;
};

// The document-creation scripts in the order the browser adds them.
std::vector<std::string> DocumentScripts(const RecordingWebview& webview) {
  std::vector<std::string> scripts = {kExternalInvokeScript};
  scripts.insert(scripts.end(), webview.initScripts.begin(), webview.initScripts.end());
  return scripts;
}

// The controller's three names, plus one bound and then taken back.
void BindPageFunctions(RecordingWebview& webview) {
  webview.BindFunction("keloRead", [](Webview*, int seq, const std::string&, const json&) {
    return json{{"seq", seq}, {"text", kHostileText}};
  });
  webview.BindFunction("keloWrite", [](Webview*, int, const std::string&, const json& params) { return params; });
  webview.BindFunction("keloOpenBrand", [](Webview*, int, const std::string&, const json&) -> json {
    throw std::runtime_error("shell refused");
  });
  webview.BindFunction("keloGone", [](Webview*, int, const std::string&, const json&) { return json(true); });
  webview.UnbindFunction("keloGone");
}

const json kCalls = json::parse(R"({
  "probe": ["keloRead", "keloWrite", "keloOpenBrand", "keloGone"],
  "calls": [
    {"name": "keloRead", "args": "[-1]"},
    {"name": "keloWrite", "args": "[{lyrics: '[30] \\u2028</script>\\u00e9', timerTicks: 4}]"},
    {"name": "keloRead", "args": "[undefined, function() {}, NaN, 'x']"},
    {"name": "keloOpenBrand", "args": "[]"}
  ]
})");

// The settling scripts for `posted`, answered last call first so that each
// script must find its own entry.
std::vector<std::string> Answer(RecordingWebview& webview, const json& posted) {
  const size_t before = webview.evaluations.size();
  for (auto message = posted.rbegin(); message != posted.rend(); ++message)
    webview.OnBrowserMessage(message->get<std::string>());
  const std::vector<std::string> all = webview.EvaluatedScripts();
  return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
}

TEST(PageScripts, CallsPostSharedNumbersAndOnlyTheirOwnDocumentsSettlingScriptsSettleThemWithTheTextIntact) {
  RecordingWebview webview;
  BindPageFunctions(webview);
  const std::vector<std::string> init = DocumentScripts(webview);
  PageRun run;
  const json page = run.Run(init, kCalls);
  EXPECT_EQ(page["functions"], json::parse(R"({"keloRead":"function","keloWrite":"function",
                                               "keloOpenBrand":"function","keloGone":"undefined"})"));
  EXPECT_EQ(
      page["posted"],
      json::array({
          R"({"id":1,"method":"keloRead","params":[-1]})",
          "{\"id\":2,\"method\":\"keloWrite\",\"params\":[{\"lyrics\":\"[30] \xE2\x80\xA8</script>\xC3\xA9\",\"timerTicks\":4}]}",
          R"({"id":3,"method":"keloRead","params":[null,null,null,"x"]})",
          R"({"id":4,"method":"keloOpenBrand","params":[]})",
      }));
  EXPECT_EQ(page["pending"], json::array({"1", "2", "3", "4"}));
  EXPECT_EQ(
      page["outcomes"],
      json::array({{{"state", "pending"}}, {{"state", "pending"}}, {{"state", "pending"}}, {{"state", "pending"}}}));

  const std::vector<std::string> settle = Answer(webview, page["posted"]);
  ASSERT_EQ(settle.size(), 4u);
  const json settled = run.Run(init, kCalls, &settle);
  EXPECT_EQ(settled["settleErrors"], json::array());
  EXPECT_EQ(settled["pending"], json::array());
  EXPECT_EQ(settled["outcomes"],
            json::array({
                {{"state", "resolved"}, {"value", {{"seq", 1}, {"text", kHostileText}}}},
                {{"state", "resolved"},
                 {"value", json::array({{{"lyrics", "[30] \xE2\x80\xA8</script>\xC3\xA9"}, {"timerTicks", 4}}})}},
                {{"state", "resolved"}, {"value", {{"seq", 3}, {"text", kHostileText}}}},
                {{"state", "rejected"}, {"value", "Invalid native request"}},
            }));

  // After a reload the document's call numbers start elsewhere, so the old
  // document's settling scripts settle nothing in it.
  json reloaded = kCalls;
  reloaded["random"] = 0.5;
  const json next = run.Run(init, reloaded, &settle);
  EXPECT_EQ(next["posted"][0], R"({"id":536870913,"method":"keloRead","params":[-1]})");
  EXPECT_EQ(next["settleErrors"].size(), 4u);
  EXPECT_EQ(next["pending"].size(), 4u);
}

}  // namespace
}  // namespace webhost
