#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Webview.h"

namespace webhost::testing {

// A web view without a browser: it records what the call protocol asks of the
// browser. Dispatch runs its function in place, as the real browser does.
class RecordingWebview : public Webview {
 public:
  struct Evaluation {
    std::string script;
  };

  std::vector<std::string> initScripts;
  std::vector<Evaluation> evaluations;
  int dispatchCount = 0;

  void SetTitle(const std::string&) override {}
  void SetViewSize(int, int, SizeHint) override {}
  std::string GetContentRoot() override { return "https://kelo.test"; }
  void Navigate(const std::string&) override {}
  void EvalJS(const std::string& js, std::function<void(const json&)>) override { evaluations.push_back({js}); }
  void AddInitScript(const std::string& js) override { initScripts.push_back(js); }
  NativeWindow GetNativeWindow() override { return nullptr; }
  void Terminate() override {}
  void Dispatch(std::function<void()> fn) override {
    ++dispatchCount;
    fn();
  }

  // The scripts handed to EvalJS, in order.
  std::vector<std::string> EvaluatedScripts() const {
    std::vector<std::string> scripts;
    for (const auto& evaluation : evaluations) scripts.push_back(evaluation.script);
    return scripts;
  }
};

}  // namespace webhost::testing
