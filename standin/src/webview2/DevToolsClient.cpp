#include "DevToolsClient.h"

namespace standin::webview2 {
namespace {

constexpr const char* kClosedError = "DevTools pipe closed";

}  // namespace

std::shared_ptr<DevToolsClient> DevToolsClient::Create(int readFd, int writeFd, Post post) {
  std::shared_ptr<DevToolsClient> client(new DevToolsClient(std::move(post)));
  client->weakSelf = client;
  DevToolsClient* raw = client.get();
  // The pipe is owned (and its thread joined) by the client, so the raw
  // pointer outlives every call the reader thread makes.
  client->pipe = std::make_unique<DevToolsPipe>(
      readFd, writeFd, [raw](std::string text) { raw->OnMessage(text); }, [raw] { raw->OnPipeClosed(); });
  return client;
}

DevToolsClient::DevToolsClient(Post post) : post(std::move(post)) {}

DevToolsClient::~DevToolsClient() {
  // Joins the reader first: no callback can arrive after this line.
  pipe.reset();
}

void DevToolsClient::SetEventCallback(EventCallback callback) {
  onEvent = std::move(callback);
}

void DevToolsClient::SetClosedCallback(ClosedCallback callback) {
  onClosed = std::move(callback);
}

void DevToolsClient::Call(const std::string& method, nlohmann::json params, const std::string& sessionId,
                          ReplyCallback callback) {
  nlohmann::json message = {{"method", method},
                            {"params", params.is_null() ? nlohmann::json::object() : std::move(params)}};
  if (!sessionId.empty()) message["sessionId"] = sessionId;
  long id;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (closed) {
      id = 0;
    } else {
      id = nextId++;
      pending.emplace(id, std::move(callback));
    }
  }
  if (id == 0) {
    // Keep the promise of never answering inside the call itself.
    if (callback) {
      post([callback] { callback(DevToolsReply{false, nullptr, kClosedError}); });
    }
    return;
  }
  message["id"] = id;
  if (!pipe->Send(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))) {
    ReplyCallback failed;
    {
      std::lock_guard<std::mutex> lock(mutex);
      auto it = pending.find(id);
      if (it != pending.end()) {
        failed = std::move(it->second);
        pending.erase(it);
      }
    }
    if (failed) post([failed] { failed(DevToolsReply{false, nullptr, "DevTools write failed"}); });
  }
}

void DevToolsClient::CloseWriteEnd() {
  pipe->CloseWriteEnd();
}

bool DevToolsClient::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex);
  return closed;
}

void DevToolsClient::OnMessage(const std::string& text) {
  auto parsed = nlohmann::json::parse(text, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) return;
  std::weak_ptr<DevToolsClient> weak = weakSelf;
  post([weak, message = std::move(parsed)] {
    if (auto self = weak.lock()) self->Deliver(message);
  });
}

void DevToolsClient::OnPipeClosed() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
  }
  std::weak_ptr<DevToolsClient> weak = weakSelf;
  post([weak] {
    if (auto self = weak.lock()) self->FailAll();
  });
}

void DevToolsClient::Deliver(const nlohmann::json& message) {
  auto id = message.find("id");
  if (id != message.end() && id->is_number_integer()) {
    ReplyCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex);
      auto it = pending.find(id->get<long>());
      if (it == pending.end()) return;
      callback = std::move(it->second);
      pending.erase(it);
    }
    if (!callback) return;
    DevToolsReply reply;
    auto error = message.find("error");
    if (error != message.end()) {
      reply.error = error->value("message", std::string("DevTools error"));
    } else {
      reply.ok = true;
      reply.result = message.value("result", nlohmann::json::object());
    }
    callback(reply);
    return;
  }
  auto method = message.find("method");
  if (method == message.end() || !method->is_string() || !onEvent) return;
  onEvent(method->get<std::string>(), message.value("params", nlohmann::json::object()),
          message.value("sessionId", std::string()));
}

void DevToolsClient::FailAll() {
  std::map<long, ReplyCallback> failed;
  {
    std::lock_guard<std::mutex> lock(mutex);
    failed.swap(pending);
  }
  for (auto& [id, callback] : failed) {
    if (callback) callback(DevToolsReply{false, nullptr, kClosedError});
  }
  if (onClosed) {
    auto callback = std::move(onClosed);
    onClosed = nullptr;
    callback();
  }
}

}  // namespace standin::webview2
