#include "CallScripts.h"

namespace webhost {

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsNameStart(char c) {
  return IsAsciiLetter(c) || c == '_' || c == '$';
}

bool IsNamePart(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

}  // namespace

bool IsBindableName(const std::string& name) {
  if (name.empty() || !IsNameStart(name.front())) return false;
  for (char c : name) {
    if (!IsNamePart(c)) return false;
  }
  return true;
}

std::string MakeStubScript(const std::string& name) {
  return "(function() { var name = '" + name + "';" + kStubBody;
}

std::string MakeUnbindScript(const std::string& name) {
  return "delete window['" + name + "'];";
}

std::string MakeSettlingScript(int seq, int status, const nlohmann::json& result) {
  // Raw UTF-8 keeps the text as the function produced it; strict handling
  // turns invalid UTF-8 into an exception instead of a broken script.
  const std::string value = result.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  const std::string entry = "window._rpc[" + std::to_string(seq) + "]";
  const char* settle = status == 0 ? ".resolve(" : ".reject(";
  return entry + settle + value + "); delete " + entry;
}

}  // namespace webhost
