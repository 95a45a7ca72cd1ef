// The plug view with a real browser, in this process: what the created
// callback does once the browser is ready, and what the page then gets.
#include "ChromiumChildren.h"
#include "EdgeChromiumBrowser.h"
#include "WebviewPluginView.h"

#include <kelo_linux_host.h>
#include <standin/ThreadTasks.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace Steinberg;
using webhost::json;

namespace {

// Pumps this thread's messages until `done` or the time-out; browsers end on
// a thread that posts nothing here, so it looks again every 20 ms.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!standin::PumpUntil(done, 20))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

// The JSON result of `script` in the page; "<none>" when none came in time.
json evaluate(webhost::Webview& webview, const std::string& script, int timeoutMs = 5000) {
  auto result = std::make_shared<json>("<none>");
  webview.EvalJS(script, [result](const json& value) { *result = value; });
  pumpUntil([result] { return *result != "<none>"; }, timeoutMs);
  return *result;
}

bool waitForPage(webhost::Webview& webview) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (evaluate(webview, "document.readyState === 'complete' ? location.origin : ''", 1000) !=
         webhost::kPrivateOrigin) {
    if (std::chrono::steady_clock::now() >= end) return false;
    pumpUntil([] { return false; }, 50);
  }
  return true;
}

// Records each Bind and offers one function, so the test can tell that the
// stub existed in the first document.
class ProbeBindings : public webhost::Bindings {
 public:
  std::vector<webhost::Webview*> bound;
  std::vector<json> calls;
  std::string name;

  explicit ProbeBindings(std::string name) : name(std::move(name)) {}

  void Bind(webhost::Webview* webview) override {
    bound.push_back(webview);
    // Document-creation scripts run in the order they were added.
    webview->AddInitScript("window.order = (window.order || []).concat('" + name + "');");
    webview->BindFunction(name, [this](webhost::Webview*, int, const std::string& called, const json& params) {
      calls.push_back(params);
      return json(called);
    });
  }
};

class PlugViewInBrowser : public ::testing::Test {
 protected:
  std::string appData;
  HWND parent = nullptr;
  ProbeBindings first{"probeFirst"};
  ProbeBindings second{"probeSecond"};

  void SetUp() override {
    appData = kelo::webhosttest::useFreshAppDataFolder();
    parent = static_cast<HWND>(KeloLinuxCreateHostWindow(1300, 700, "frame"));
    ASSERT_NE(parent, nullptr);
  }
  void TearDown() override {
    KeloLinuxDestroyHostWindow(parent);
    pumpUntil([] { return kelo::webhosttest::runningChromiumChildren().empty(); }, 5000);
    kelo::webhosttest::removeAppDataFolder(appData);
  }

  IPtr<webhost::WebviewPluginView> makeView(const std::string& url) {
    ViewRect rect(0, 0, 1188, 606);
    return owned(new webhost::WebviewPluginView(nullptr, "Kelo", {&first, &second}, &rect, url));
  }

  // Attaches `view` and waits for its page; the ready web view, or null.
  webhost::Webview* attachAndLoad(webhost::WebviewPluginView& view) {
    if (view.attached(parent, "HWND") != kResultOk) return nullptr;
    if (!pumpUntil([&] { return !first.bound.empty(); }, 30000)) return nullptr;
    webhost::Webview* webview = first.bound.front();
    return waitForPage(*webview) ? webview : nullptr;
  }
};

TEST_F(PlugViewInBrowser, OneBrowserForTwoAttachesTakesTheSizeGivenBeforeItWasReady) {
  auto view = makeView(std::string(webhost::kPrivateOrigin) + "/index.html?second");
  ASSERT_EQ(view->attached(parent, "HWND"), kResultOk);
  ASSERT_EQ(view->attached(parent, "HWND"), kResultOk);
  const HWND child = GetWindow(parent, GW_CHILD);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetWindow(child, GW_HWNDNEXT), nullptr) << "one child window only";
  ViewRect early(0, 0, 800, 408);
  ASSERT_EQ(view->onSize(&early), kResultTrue);

  ASSERT_TRUE(pumpUntil([&] { return !second.bound.empty(); }, 30000)) << "browser never became ready";
  pumpUntil([] { return false; }, 300);
  ASSERT_EQ(first.bound.size(), 1u);
  webhost::Webview& webview = *first.bound.front();
  ASSERT_TRUE(waitForPage(webview)) << evaluate(webview, "location.href + ' ' + document.readyState").dump();

  RECT client{};
  GetClientRect(child, &client);
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 408);
  EXPECT_EQ(evaluate(webview, "window.innerWidth + 'x' + window.innerHeight"), json("800x408"));
  EXPECT_EQ(evaluate(webview, "location.search"), json("?second"));
  // Both stubs were there in the very first document, and a script added now waits for the next.
  EXPECT_EQ(evaluate(webview, "typeof window.probeFirst + ' ' + typeof window.probeSecond"), json("function function"));
  EXPECT_EQ(evaluate(webview, "window.order"), json::parse(R"(["probeFirst","probeSecond"])"));
  webview.AddInitScript("window.late = true;");
  pumpUntil([] { return false; }, 100);
  EXPECT_EQ(evaluate(webview, "typeof window.late"), json("undefined"));
  WCHAR title[16] = {};
  GetWindowTextW(child, title, 16);
  EXPECT_EQ(std::wstring(title), L"Kelo");

  // Resizes while attached go straight to the window.
  ViewRect later(0, 0, 1000, 510);
  ASSERT_EQ(view->onSize(&later), kResultTrue);
  GetClientRect(child, &client);
  EXPECT_EQ(client.right, 1000);
  EXPECT_TRUE(pumpUntil([&] { return evaluate(webview, "window.innerWidth", 1000) == json(1000); }, 5000));

  // The embedded files as the browser fetches them; other origins are left to the network and fail.
  const std::string html = "text/html; charset=utf-8";
  const struct {
    std::string path;
    std::string type;
    const char* file;  // nullptr: an empty 404
  } files[] = {
      {"/index.html?v=2", html, "web/index.html"},
      {"/app.js", "application/javascript; charset=utf-8", "web/app.js"},
      {"/header.png", "image/png", "web/header.png"},
      {"/third_party_notices.txt", "text/plain; charset=utf-8", "licenses/third_party_notices.txt"},
      {"/missing.css", "text/css; charset=utf-8", nullptr},
      {"/app%2Ejs", "application/octet-stream", nullptr},
  };
  const std::string elsewhere = "https://elsewhere.invalid/index.html";
  json addresses = json::array({elsewhere});
  for (const auto& f : files) addresses.push_back(webhost::kPrivateOrigin + f.path);
  second.calls.clear();
  webview.EvalJS(addresses.dump() +
                     ".forEach(a => fetch(a, {cache: 'no-store'}).then("
                     "  r => r.arrayBuffer().then(b => probeSecond(a, r.status,"
                     "    r.headers.get('content-type'), r.headers.get('cache-control'), b.byteLength)),"
                     "  e => probeSecond(a, -1, '', '', 0)))",
                 nullptr);
  ASSERT_TRUE(pumpUntil([&] { return second.calls.size() == addresses.size(); }, 15000));
  std::map<std::string, json> replies;
  for (const json& call : second.calls) replies[call.at(0).get<std::string>()] = call;
  EXPECT_EQ(replies[elsewhere].at(1), -1) << "nothing may answer for another origin";
  for (const auto& f : files) {
    std::ifstream file(f.file ? std::string(KELO_SOURCE_DIR) + "/" + f.file : "", std::ios::binary | std::ios::ate);
    const json expected = {webhost::kPrivateOrigin + f.path, f.file ? 200 : 404, f.type, "no-store",
                           f.file ? static_cast<long>(file.tellg()) : 0};
    EXPECT_EQ(replies[webhost::kPrivateOrigin + f.path], expected);
  }

  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
}

TEST_F(PlugViewInBrowser, WithoutAnApplicationDataFolderThePageLoadsTakesOnlyTextMessagesGetsJsonAndStaysOnItsOrigin) {
  const std::string opener = appData + "/opener", log = appData + "/opened";
  std::ofstream(opener) << "#!/bin/sh\necho \"$1\" >> " << log << "\n";
  chmod(opener.c_str(), 0700);
  setenv("KELO_STANDIN_OPENER", opener.c_str(), 1);
  const auto opened = [&] {
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  // Neither variable set: the roaming application-data folder cannot be found.
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  auto view = makeView("");
  webhost::Webview* webview = attachAndLoad(*view);
  if (!home.empty()) setenv("HOME", home.c_str(), 1);
  ASSERT_NE(webview, nullptr) << "the page never loaded";
  // The same call once as an object, once as its text: only the text counts.
  webview->EvalJS(
      "window.chrome.webview.postMessage({id: 1, method: 'probeSecond', params: ['object']});"
      "window.chrome.webview.postMessage(JSON.stringify("
      "  {id: 2, method: 'probeSecond', params: ['t\\u00e9xt \\\"q\\\" \\u2028 \\ud83d\\ude00']}));"
      "Promise.all(['clipboard-read', 'camera', 'microphone'].map("
      "  n => navigator.permissions.query({name: n}).then(s => s.state, e => 'error')))"
      ".then(states => probeFirst(states))",
      nullptr);
  ASSERT_TRUE(pumpUntil([&] { return !first.calls.empty() && !second.calls.empty(); }, 5000));
  pumpUntil([] { return false; }, 200);
  EXPECT_EQ(first.calls.front(), json::parse(R"([["granted","prompt","prompt"]])"));
  ASSERT_EQ(second.calls.size(), 1u);
  EXPECT_EQ(second.calls.front(), json::array({"t\u00e9xt \"q\" \u2028 \U0001F600"}));

  // Script results arrive as JSON.stringify gives them, and as null where it gives nothing.
  const std::pair<const char*, const char*> results[] = {
      {"0.1 + 0.2", "0.30000000000000004"},
      {"1e21", "1e+21"},
      {"true", "true"},
      {R"('é "q" \\ \u2028 \n')", "\"é \\\"q\\\" \\\\ \u2028 \\n\""},
      {"({b: [1, 'x', null], a: {c: false}})", R"({"a":{"c":false},"b":[1,"x",null]})"},
      {"[1, undefined, () => 1]", "[1,null,null]"},
      {"new Date(0)", "\"1970-01-01T00:00:00.000Z\""},
      {"undefined", "null"},
      {"NaN", "null"},
      {"-Infinity", "null"},
      {"(function () {})", "null"},
      {"Symbol('s')", "null"},
      {"10n", "null"},
      {"(() => { const o = {}; o.self = o; return o; })()", "null"},
      {"let kept = 5; kept * 2", "10"},
      {"throw new Error('boom')", "null"},
      {"this is not javascript", "null"},
  };
  for (const auto& [script, expected] : results) EXPECT_EQ(evaluate(*webview, script, 2000).dump(), expected) << script;

  // Navigation away is refused; a followed link goes to the system browser.
  const std::string link = "const a = document.createElement('a'); document.body.append(a); a.href = ";
  const struct {
    std::string escape;
    const char* opens;  // what the system browser is asked to open, "" for nothing
  } escapes[] = {
      {"location.href = 'https://foreign.invalid/'", ""},
      {"location.href = 'data:text/html,<p>x</p>'", ""},
      {"window.open('https://foreign.invalid/popup')", ""},
      {link + "'https://velmora.example/link'; a.click()", "https://velmora.example/link\n"},
      // A script's click on a link to a new window is no user's: nothing opens.
      {link + "'https://velmora.example/tab'; a.target = '_blank'; a.click()", ""},
  };
  for (const auto& item : escapes) {
    std::filesystem::remove(log);
    webview->EvalJS(item.escape, nullptr);
    pumpUntil([&] { return *item.opens && opened() == item.opens; }, *item.opens ? 5000 : 700);
    EXPECT_EQ(opened(), item.opens) << item.escape;
    EXPECT_EQ(evaluate(*webview, "location.href + ' ' + typeof window.probeFirst"),
              json(std::string(webhost::kPrivateOrigin) + "/index.html function"))
        << item.escape;
  }
  EXPECT_EQ(GetWindow(GetWindow(parent, GW_CHILD), GW_HWNDNEXT), nullptr) << "no second window";
  ASSERT_EQ(view->removed(), kResultOk);
  unsetenv("KELO_STANDIN_OPENER");
}

}  // namespace
