#include "ScriptResult.h"

namespace standin::webview2 {
namespace {

constexpr const char* kNull = "null";

}  // namespace

const char* const kStringifyThisFunction = "function(){return JSON.stringify(this);}";

ScriptResult ScriptResultFromEvaluation(const nlohmann::json& evaluateResult) {
  if (!evaluateResult.is_object() || evaluateResult.contains("exceptionDetails")) return {kNull, {}};
  const nlohmann::json remote = evaluateResult.value("result", nlohmann::json::object());
  const std::string type = remote.value("type", std::string());
  if (type == "string" && remote.contains("value") && remote["value"].is_string()) {
    return {remote["value"].dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), {}};
  }
  if (type == "number") {
    if (remote.contains("unserializableValue")) {
      // -0 prints as 0; NaN and the infinities have no JSON form.
      return {remote["unserializableValue"] == "-0" ? "0" : kNull, {}};
    }
    // The description is JavaScript's own number-to-text conversion,
    // which JSON.stringify uses for finite numbers.
    if (remote.contains("description") && remote["description"].is_string())
      return {remote["description"].get<std::string>(), {}};
    if (remote.contains("value")) return {remote["value"].dump(), {}};
    return {kNull, {}};
  }
  if (type == "boolean" && remote.contains("value") && remote["value"].is_boolean()) {
    return {remote["value"].get<bool>() ? "true" : "false", {}};
  }
  if (type == "object" && remote.value("subtype", std::string()) != "null" && remote.contains("objectId") &&
      remote["objectId"].is_string()) {
    return {{}, remote["objectId"].get<std::string>()};
  }
  // undefined, null, functions, symbols, bigints (JSON.stringify throws).
  return {kNull, {}};
}

std::string ScriptResultFromStringify(const nlohmann::json& callResult) {
  if (!callResult.is_object() || callResult.contains("exceptionDetails")) return kNull;
  const nlohmann::json remote = callResult.value("result", nlohmann::json::object());
  if (remote.value("type", std::string()) != "string" || !remote.contains("value") || !remote["value"].is_string())
    return kNull;
  return remote["value"].get<std::string>();
}

}  // namespace standin::webview2
