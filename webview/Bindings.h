#pragma once

namespace webhost {

class Webview;

// An object that offers native functions to the page. The plug view calls
// Bind on each of its Bindings once the browser is ready, before it navigates,
// so that the stubs exist in the first document.
class Bindings {
 public:
  virtual ~Bindings() = default;
  virtual void Bind(Webview* webview) = 0;
};

}  // namespace webhost
