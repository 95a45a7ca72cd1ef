#include "WebMessageReceivedEventArgs.h"

#include <nlohmann/json.hpp>

#include "WideText.h"

namespace standin::webview2 {

WebMessageReceivedEventArgs::WebMessageReceivedEventArgs(std::string source, std::string json)
    : source(std::move(source)), json(std::move(json)) {}

HRESULT WebMessageReceivedEventArgs::get_Source(LPWSTR* out) {
  return CopyToTaskMemory(source, out);
}

HRESULT WebMessageReceivedEventArgs::get_WebMessageAsJson(LPWSTR* out) {
  return CopyToTaskMemory(json, out);
}

HRESULT WebMessageReceivedEventArgs::TryGetWebMessageAsString(LPWSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto value = nlohmann::json::parse(json, nullptr, false);
  if (value.is_discarded() || !value.is_string()) return E_INVALIDARG;
  return CopyToTaskMemory(value.get<std::string>(), out);
}

}  // namespace standin::webview2
