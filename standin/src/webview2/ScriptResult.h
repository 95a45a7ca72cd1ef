#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace standin::webview2 {

// Turns the answer of Runtime.evaluate into the JSON text ExecuteScript
// reports, with JSON.stringify's semantics as WebView2 has them: undefined,
// NaN, infinities, functions, symbols and thrown errors give "null".
// Primitives are converted here; objects need JSON.stringify run on them in
// the page, which `objectId` then names.
struct ScriptResult {
  std::string json;      // final text when `objectId` is empty
  std::string objectId;  // object still to be stringified in the page
};

ScriptResult ScriptResultFromEvaluation(const nlohmann::json& evaluateResult);

// The answer of Runtime.callFunctionOn with JSON.stringify on that object.
std::string ScriptResultFromStringify(const nlohmann::json& callResult);

// The page function that stringifies its receiver.
extern const char* const kStringifyThisFunction;

}  // namespace standin::webview2
