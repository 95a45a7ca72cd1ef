#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "DevToolsPipe.h"

namespace standin::webview2 {

// Outcome of one protocol command: the `result` object, or the error text.
struct DevToolsReply {
  bool ok = false;
  nlohmann::json result;
  std::string error;
};

// Commands, replies and events of the DevTools protocol over one pipe.
// Replies and events are parsed on the reader thread and delivered through
// `post`, which must run the task later on the owner's thread (the UI thread
// of the environment); nothing reaches a callback on the reader thread. The
// reader thread keeps only a weak reference, so the last owner releasing the
// client always does so on its own thread.
class DevToolsClient : public std::enable_shared_from_this<DevToolsClient> {
 public:
  using Task = std::function<void()>;
  using Post = std::function<void(Task)>;
  using ReplyCallback = std::function<void(const DevToolsReply&)>;
  // method, params, sessionId ("" for the browser itself)
  using EventCallback = std::function<void(const std::string&, const nlohmann::json&, const std::string&)>;
  using ClosedCallback = std::function<void()>;

  static std::shared_ptr<DevToolsClient> Create(int readFd, int writeFd, Post post);
  ~DevToolsClient();

  // Owner's thread only; called for every event, in arrival order.
  void SetEventCallback(EventCallback callback);
  // Owner's thread only; called once when the pipe closes.
  void SetClosedCallback(ClosedCallback callback);

  // Sends a command; `callback` (may be empty) gets its reply on the owner's
  // thread. When the pipe is closed or breaks, it gets a failed reply.
  void Call(const std::string& method, nlohmann::json params, const std::string& sessionId, ReplyCallback callback);

  // Closes the outbound end; the browser then quits on its own.
  void CloseWriteEnd();
  bool IsClosed() const;

 private:
  explicit DevToolsClient(Post post);
  void OnMessage(const std::string& text);      // reader thread
  void OnPipeClosed();                          // reader thread
  void Deliver(const nlohmann::json& message);  // owner's thread
  void FailAll();                               // owner's thread

  Post post;
  std::unique_ptr<DevToolsPipe> pipe;
  std::weak_ptr<DevToolsClient> weakSelf;
  mutable std::mutex mutex;  // guards the three below
  long nextId = 1;
  std::map<long, ReplyCallback> pending;
  bool closed = false;
  EventCallback onEvent;
  ClosedCallback onClosed;
};

}  // namespace standin::webview2
