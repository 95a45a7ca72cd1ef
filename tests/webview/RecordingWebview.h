#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Webview.h"

namespace webhost::testing {

// A web view without a browser: it records what the call protocol asks of the
// browser. Dispatch runs its function in place, as the real browser does,
// unless deferDispatch is set; then the functions wait for RunDispatched.
class RecordingWebview : public Webview {
 public:
  struct Evaluation {
    std::string script;
    std::function<void(const json&)> callback;
  };

  std::vector<std::string> initScripts;
  std::vector<Evaluation> evaluations;
  std::vector<std::string> navigations;
  std::string title;
  int dispatchCount = 0;
  bool terminated = false;
  bool deferDispatch = false;

  void SetTitle(const std::string& newTitle) override { title = newTitle; }
  void SetViewSize(int, int, SizeHint) override {}
  std::string GetContentRoot() override { return "https://kelo.test"; }
  void Navigate(const std::string& url) override { navigations.push_back(url); }
  void EvalJS(const std::string& js, std::function<void(const json&)> callback) override {
    evaluations.push_back({js, std::move(callback)});
  }
  void AddInitScript(const std::string& js) override { initScripts.push_back(js); }
  NativeWindow GetNativeWindow() override { return nullptr; }
  void Terminate() override { terminated = true; }
  void Dispatch(std::function<void()> fn) override {
    ++dispatchCount;
    if (deferDispatch)
      deferred.push_back(std::move(fn));
    else if (fn)
      fn();
  }

  void RunDispatched() {
    std::vector<std::function<void()>> pending;
    pending.swap(deferred);
    for (auto& fn : pending) {
      if (fn) fn();
    }
  }

  // The scripts handed to EvalJS, in order.
  std::vector<std::string> EvaluatedScripts() const {
    std::vector<std::string> scripts;
    for (const auto& evaluation : evaluations) scripts.push_back(evaluation.script);
    return scripts;
  }

 private:
  std::vector<std::function<void()>> deferred;
};

}  // namespace webhost::testing
