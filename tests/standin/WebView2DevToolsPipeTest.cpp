// The DevTools pipe and client against a fake browser on the other end of
// two pipes: framing by NUL bytes in odd chunk sizes, replies by id,
// events, closing, and delivery only through the owner's queue.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../standin/src/webview2/DevToolsClient.h"

namespace {

using nlohmann::json;
using standin::webview2::DevToolsClient;
using standin::webview2::DevToolsPipe;
using standin::webview2::DevToolsReply;

std::string Framed(const std::vector<std::string>& messages) {
  std::string bytes;
  for (auto& message : messages) bytes += message + '\0';
  return bytes;
}

// Two pipes: what the fake browser writes, and what it reads.
struct FakeBrowser {
  FakeBrowser() {
    int toUs[2], fromUs[2];
    EXPECT_EQ(pipe(toUs), 0);
    EXPECT_EQ(pipe(fromUs), 0);
    ourRead = toUs[0], browserWrite = toUs[1], browserRead = fromUs[0], ourWrite = fromUs[1];
  }
  ~FakeBrowser() {
    CloseWrite();
    close(browserRead);
  }
  void Write(const std::string& bytes, size_t chunk) {
    for (size_t at = 0; at < bytes.size(); at += chunk) {
      const size_t size = std::min(chunk, bytes.size() - at);
      ASSERT_EQ(write(browserWrite, bytes.data() + at, size), static_cast<ssize_t>(size));
    }
  }
  void CloseWrite() {
    if (browserWrite >= 0) close(browserWrite);
    browserWrite = -1;
  }
  // The next `count` messages the browser was sent.
  std::vector<json> Read(size_t count) {
    std::vector<json> messages;
    std::string current;
    for (char byte; messages.size() < count && read(browserRead, &byte, 1) == 1;) {
      if (byte != '\0') current += byte;
      if (byte == '\0') messages.push_back(json::parse(std::exchange(current, {})));
    }
    return messages;
  }
  int ourRead, ourWrite, browserRead, browserWrite;
};

TEST(WebView2DevToolsPipe, MessagesSplitAcrossOddChunksArriveWholeAndInOrderThenTheCloseIsReported) {
  const std::vector<std::string> small = {R"({"id":1})", R"({"method":"A","params":{"x":"\u00e9"}})", "{}"};
  const std::vector<std::string> large = {"{\"data\":\"" + std::string(3 << 20, 'x') + "\"}", "{\"after\":1}"};
  const std::pair<std::vector<std::string>, size_t> cases[] = {{small, 1},  {small, 3},      {small, 7},
                                                               {small, 64}, {small, 100000}, {large, 65536 + 13}};
  for (const auto& [sent, chunk] : cases) {
    FakeBrowser browser;
    std::mutex mutex;
    std::vector<std::string> received;
    bool closed = false;
    {
      DevToolsPipe pipe(
          browser.ourRead, browser.ourWrite,
          [&](std::string message) {
            std::lock_guard<std::mutex> lock(mutex);
            received.push_back(std::move(message));
          },
          [&] {
            std::lock_guard<std::mutex> lock(mutex);
            closed = true;
          });
      // From a thread of its own: a large message fills the pipe before it is read.
      std::thread writer([&, chunk = chunk, bytes = Framed(sent)] {
        browser.Write(bytes, chunk);
        browser.CloseWrite();
      });
      writer.join();
      for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
           std::chrono::steady_clock::now() < deadline;) {
        std::lock_guard<std::mutex> lock(mutex);
        if (closed) break;
      }
    }
    EXPECT_TRUE(closed) << chunk;
    EXPECT_TRUE(received == sent) << "chunk " << chunk << ": " << received.size() << " messages";
  }
}

// A client on the fake browser's pipes, delivering through its owner's queue.
class WebView2DevToolsClient : public ::testing::Test {
 protected:
  // Runs queued tasks on this thread until `done` holds or the time is up.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      std::unique_lock<std::mutex> lock(mutex);
      if (!changed.wait_until(lock, deadline, [this] { return !tasks.empty(); })) return done();
      auto task = std::move(tasks.front());
      tasks.pop_front();
      lock.unlock();
      task();
    }
    return true;
  }
  size_t Pending() {
    std::lock_guard<std::mutex> lock(mutex);
    return tasks.size();
  }

  const std::thread::id owner = std::this_thread::get_id();
  FakeBrowser browser;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<DevToolsClient::Task> tasks;
  std::atomic<bool> postedOnOwner{false};
  std::shared_ptr<DevToolsClient> client =
      DevToolsClient::Create(browser.ourRead, browser.ourWrite, [this](DevToolsClient::Task task) {
        std::lock_guard<std::mutex> lock(mutex);
        if (std::this_thread::get_id() == owner) postedOnOwner = true;
        tasks.push_back(std::move(task));
        changed.notify_all();
      });
};

TEST_F(WebView2DevToolsClient, CommandsGoOutWithRisingIdsAndRepliesAndEventsReachTheOwnerOnlyThroughItsQueue) {
  std::vector<std::string> seen;
  std::vector<std::thread::id> seenOn;
  client->SetEventCallback([&](const std::string& method, const json& params, const std::string& session) {
    seen.push_back(method + " " + params.dump() + " " + session);
    seenOn.push_back(std::this_thread::get_id());
  });
  for (const char* name : {"a", "b"}) {
    const bool second = name[0] == 'b';
    client->Call(name, second ? json{{"url", "https://kelo.invalid/"}} : json(nullptr), second ? "S1" : "",
                 [&seen, &seenOn, name](const DevToolsReply& reply) {
                   seen.push_back(std::string(name) + "=" + (reply.ok ? reply.result.dump() : "error:" + reply.error));
                   seenOn.push_back(std::this_thread::get_id());
                 });
  }
  const std::vector<json> sent = browser.Read(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0]["method"], "a");
  EXPECT_EQ(sent[0]["params"], json::object());
  EXPECT_FALSE(sent[0].contains("sessionId"));
  EXPECT_EQ(sent[1]["sessionId"], "S1");
  EXPECT_EQ(sent[1]["params"]["url"], "https://kelo.invalid/");
  EXPECT_GT(sent[1]["id"].get<long>(), sent[0]["id"].get<long>());
  // Answered in the other order, the second one with an error, among events.
  browser.Write(
      Framed({json{{"id", sent[1]["id"]}, {"error", {{"code", -32000}, {"message", "No target"}}}}.dump(),
              "not json at all", R"({"method":"Runtime.bindingCalled","params":{"payload":"\"hi\""},"sessionId":"S9"})",
              json{{"id", sent[0]["id"]}, {"result", {{"v", 1}}}}.dump(),
              R"({"method":"Target.targetCreated","params":{}})"}),
      5);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(seen.empty());  // nothing runs until the owner drains its queue
  ASSERT_TRUE(RunUntil([&] { return seen.size() == 4; }));
  EXPECT_EQ(seen, (std::vector<std::string>{"b=error:No target", R"(Runtime.bindingCalled {"payload":"\"hi\""} S9)",
                                            "a={\"v\":1}", "Target.targetCreated {} "}));
  EXPECT_EQ(seenOn, std::vector<std::thread::id>(4, owner));
  EXPECT_FALSE(postedOnOwner);
}

TEST_F(WebView2DevToolsClient, WhenTheBrowserGoesAwayPendingAndLaterCallsFailAndClosingIsReportedOnce) {
  int closedCount = 0;
  client->SetClosedCallback([&closedCount] { ++closedCount; });
  std::vector<bool> outcomes;
  client->Call("Page.enable", nullptr, "S", [&outcomes](const DevToolsReply& reply) { outcomes.push_back(reply.ok); });
  browser.Read(1);
  browser.CloseWrite();
  ASSERT_TRUE(RunUntil([&] { return closedCount == 1; }));
  EXPECT_EQ(outcomes, std::vector<bool>{false});
  EXPECT_TRUE(client->IsClosed());

  client->Call("Page.navigate", nullptr, "S",
               [&outcomes](const DevToolsReply& reply) { outcomes.push_back(reply.ok); });
  EXPECT_EQ(outcomes.size(), 1u);  // even a failure is delivered later, never inside Call
  ASSERT_TRUE(RunUntil([&] { return outcomes.size() == 2; }));
  EXPECT_EQ(outcomes, (std::vector<bool>{false, false}));
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(closedCount, 1);
}

TEST_F(WebView2DevToolsClient, TasksLeftInTheQueueDoNothingOnceTheClientIsGone) {
  int delivered = 0;
  client->SetEventCallback([&delivered](const std::string&, const json&, const std::string&) { ++delivered; });
  client->SetClosedCallback([&delivered] { ++delivered; });
  browser.Write(Framed({R"({"method":"A"})", R"({"method":"B"})"}), 4);
  for (int i = 0; i < 5000 && Pending() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  client.reset();
  EXPECT_EQ(Pending(), 3u);  // two events, and the closing that ending the reader reports
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(delivered, 0);
}

}  // namespace
