// The DevTools pipe and client against a fake browser on the other end of
// two pipes: framing by NUL bytes in odd chunk sizes, replies by id,
// events, closing, and delivery only through the owner's queue.
#include <gtest/gtest.h>
#include <unistd.h>

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

using standin::webview2::DevToolsClient;
using standin::webview2::DevToolsPipe;
using standin::webview2::DevToolsReply;

// The owner's queue: tasks posted from any thread, run by Drain.
class TaskQueue {
 public:
  void Post(DevToolsClient::Task task) {
    std::lock_guard<std::mutex> lock(mutex);
    tasks.push_back(std::move(task));
    postedFrom.push_back(std::this_thread::get_id());
    changed.notify_all();
  }
  // Runs tasks until `done` holds or the time is up.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
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
  std::vector<std::thread::id> PostedFrom() {
    std::lock_guard<std::mutex> lock(mutex);
    return postedFrom;
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<DevToolsClient::Task> tasks;
  std::vector<std::thread::id> postedFrom;
};

// Two pipes: what the fake browser writes, and what it reads.
struct FakeBrowser {
  FakeBrowser() {
    int toUs[2], fromUs[2];
    EXPECT_EQ(pipe(toUs), 0);
    EXPECT_EQ(pipe(fromUs), 0);
    ourRead = toUs[0];
    browserWrite = toUs[1];
    browserRead = fromUs[0];
    ourWrite = fromUs[1];
  }
  ~FakeBrowser() {
    CloseWrite();
    if (browserRead >= 0) close(browserRead);
  }
  void Write(const std::string& bytes, size_t chunk) {
    for (size_t at = 0; at < bytes.size(); at += chunk) {
      std::string piece = bytes.substr(at, chunk);
      ASSERT_EQ(write(browserWrite, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
    }
  }
  void CloseWrite() {
    if (browserWrite >= 0) close(browserWrite);
    browserWrite = -1;
  }
  // Reads until `count` NUL-terminated messages have come.
  std::vector<std::string> Read(size_t count) {
    std::vector<std::string> messages;
    std::string current;
    char byte;
    while (messages.size() < count && read(browserRead, &byte, 1) == 1) {
      if (byte == '\0') {
        messages.push_back(current);
        current.clear();
      } else {
        current += byte;
      }
    }
    return messages;
  }
  int ourRead, ourWrite, browserRead, browserWrite;
};

std::string Framed(const std::vector<std::string>& messages) {
  std::string bytes;
  for (auto& message : messages) bytes += message + '\0';
  return bytes;
}

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
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      for (;;) {
        std::lock_guard<std::mutex> lock(mutex);
        if (closed || std::chrono::steady_clock::now() > deadline) break;
      }
      writer.join();
    }
    EXPECT_TRUE(closed) << chunk;
    EXPECT_TRUE(received == sent) << "chunk " << chunk << ": " << received.size() << " messages";
  }
}

// A client on the fake browser's pipes, delivering through `queue`.
class WebView2DevToolsClient : public ::testing::Test {
 protected:
  FakeBrowser browser;
  TaskQueue queue;
  std::shared_ptr<DevToolsClient> client = DevToolsClient::Create(
      browser.ourRead, browser.ourWrite, [this](DevToolsClient::Task task) { queue.Post(std::move(task)); });
};

TEST_F(WebView2DevToolsClient, CommandsGoOutWithRisingIdsAndTheirSessionAndRepliesReachTheirCallersThroughTheQueue) {
  std::vector<std::string> answers;
  std::vector<std::thread::id> answeredOn;
  for (const char* name : {"a", "b"}) {
    client->Call(
        name, name[0] == 'b' ? nlohmann::json{{"url", "https://kelo.invalid/"}} : nlohmann::json(nullptr),
        name[0] == 'b' ? "S1" : "", [&answers, &answeredOn, name](const DevToolsReply& reply) {
          answers.push_back(std::string(name) + "=" + (reply.ok ? reply.result.dump() : "error:" + reply.error));
          answeredOn.push_back(std::this_thread::get_id());
        });
  }
  auto sent = browser.Read(2);
  ASSERT_EQ(sent.size(), 2u);
  auto first = nlohmann::json::parse(sent[0]);
  auto second = nlohmann::json::parse(sent[1]);
  EXPECT_EQ(first["method"], "a");
  EXPECT_EQ(first["params"], nlohmann::json::object());
  EXPECT_FALSE(first.contains("sessionId"));
  EXPECT_EQ(second["sessionId"], "S1");
  EXPECT_EQ(second["params"]["url"], "https://kelo.invalid/");
  EXPECT_GT(second["id"].get<long>(), first["id"].get<long>());
  // Answered in the other order, the second one with an error.
  browser.Write(
      Framed({nlohmann::json{{"id", second["id"]}, {"error", {{"code", -32000}, {"message", "No target"}}}}.dump(),
              "not json at all", nlohmann::json{{"id", first["id"]}, {"result", {{"v", 1}}}}.dump()}),
      5);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(answers.empty());  // nothing runs until the owner drains its queue
  ASSERT_TRUE(queue.RunUntil([&] { return answers.size() == 2; }));
  EXPECT_EQ(answers, (std::vector<std::string>{"b=error:No target", "a={\"v\":1}"}));
  for (auto& thread : answeredOn) EXPECT_EQ(thread, std::this_thread::get_id());
  for (auto& thread : queue.PostedFrom()) EXPECT_NE(thread, std::this_thread::get_id());
}

TEST_F(WebView2DevToolsClient, EventsCarryTheirMethodParamsAndSession) {
  std::vector<std::string> events;
  client->SetEventCallback(
      [&events](const std::string& method, const nlohmann::json& params, const std::string& session) {
        events.push_back(method + " " + params.dump() + " " + session);
      });
  browser.Write(Framed({R"({"method":"Runtime.bindingCalled","params":{"payload":"\"hi\""},"sessionId":"S9"})",
                        R"({"method":"Target.targetCreated","params":{}})"}),
                11);
  ASSERT_TRUE(queue.RunUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events[0], R"(Runtime.bindingCalled {"payload":"\"hi\""} S9)");
  EXPECT_EQ(events[1], "Target.targetCreated {} ");
}

TEST_F(WebView2DevToolsClient, WhenTheBrowserGoesAwayPendingAndLaterCallsFailAndClosingIsReportedOnce) {
  int closedCount = 0;
  client->SetClosedCallback([&closedCount] { ++closedCount; });
  std::vector<bool> outcomes;
  client->Call("Page.enable", nullptr, "S", [&outcomes](const DevToolsReply& reply) { outcomes.push_back(reply.ok); });
  browser.Read(1);
  browser.CloseWrite();
  ASSERT_TRUE(queue.RunUntil([&] { return closedCount == 1; }));
  EXPECT_EQ(outcomes, std::vector<bool>{false});
  EXPECT_TRUE(client->IsClosed());

  bool calledInline = false;
  client->Call("Page.navigate", nullptr, "S", [&](const DevToolsReply& reply) {
    calledInline = true;
    outcomes.push_back(reply.ok);
  });
  EXPECT_FALSE(calledInline);  // even a failure is delivered later, never inside Call
  ASSERT_TRUE(queue.RunUntil([&] { return outcomes.size() == 2; }));
  EXPECT_EQ(outcomes, (std::vector<bool>{false, false}));
  queue.RunUntil([] { return false; }, 50);
  EXPECT_EQ(closedCount, 1);
}

TEST_F(WebView2DevToolsClient, TasksLeftInTheQueueDoNothingOnceTheClientIsGone) {
  int delivered = 0;
  client->SetEventCallback(
      [&delivered](const std::string&, const nlohmann::json&, const std::string&) { ++delivered; });
  client->SetClosedCallback([&delivered] { ++delivered; });
  browser.Write(Framed({R"({"method":"A"})", R"({"method":"B"})"}), 4);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (queue.Pending() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  client.reset();
  // Two events, and the closing that ending the reader reports.
  EXPECT_EQ(queue.Pending(), 3u);
  queue.RunUntil([] { return false; }, 50);
  EXPECT_EQ(delivered, 0);
}

}  // namespace
