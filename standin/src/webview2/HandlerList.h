#pragma once

#include <windows.h>
#include <eventtoken.h>
#include <wrl/client.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace standin::webview2 {

// Handlers registered for one event, in registration order. Holds a
// reference to each until it is removed or the list is cleared.
template <class Handler>
class HandlerList {
 public:
  HRESULT Add(Handler* handler, EventRegistrationToken* token) {
    if (handler == nullptr) return E_INVALIDARG;
    if (token == nullptr) return E_POINTER;
    token->value = nextToken++;
    entries.emplace_back(token->value, Microsoft::WRL::ComPtr<Handler>(handler));
    return S_OK;
  }
  HRESULT Remove(EventRegistrationToken token) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->first == token.value) {
        entries.erase(it);
        break;
      }
    }
    return S_OK;
  }
  // A copy, so that handlers may add or remove handlers while being called.
  std::vector<Microsoft::WRL::ComPtr<Handler>> Snapshot() const {
    std::vector<Microsoft::WRL::ComPtr<Handler>> copy;
    for (auto& entry : entries) copy.push_back(entry.second);
    return copy;
  }
  bool Empty() const { return entries.empty(); }
  void Clear() { entries.clear(); }

 private:
  int64_t nextToken = 1;
  std::vector<std::pair<int64_t, Microsoft::WRL::ComPtr<Handler>>> entries;
};

}  // namespace standin::webview2
