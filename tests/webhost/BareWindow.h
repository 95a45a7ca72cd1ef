#pragma once

#include "WebviewWin32.h"

#include <functional>
#include <string>

namespace kelo::webhosttest {

// The child window alone, without a browser: it counts the size changes the
// window layer reports.
class BareWindow : public webhost::WebviewWin32 {
 public:
  using WebviewWin32::WebviewWin32;

  int sizeChanges = 0;

  HWND handle() { return static_cast<HWND>(GetNativeWindow()); }

  std::string GetContentRoot() override { return {}; }
  void Navigate(const std::string&) override {}
  void EvalJS(const std::string&, std::function<void(const webhost::json&)>) override {}
  void AddInitScript(const std::string&) override {}
  void Dispatch(std::function<void()> fn) override {
    if (fn) fn();
  }
  bool CreateEnvironment() override { return true; }
  void OnSizeChanged() override { ++sizeChanges; }
};

}  // namespace kelo::webhosttest
