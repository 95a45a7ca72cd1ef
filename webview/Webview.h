#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace webhost {

using json = nlohmann::json;

class Webview;

// A native function offered to the page. It receives the web view the call
// arrived on, the call's sequence number, the name it was called by and the
// call's arguments (normally an array, null when the page sent none), and
// returns the value the page's Promise resolves with. It signals failure by
// throwing; the page then sees only "Invalid native request".
using BoundFunction = std::function<json(Webview* webview, int seq, const std::string& name, const json& params)>;

// How SetViewSize treats the size.
enum class SizeHint : int {
  kNone = 0,   // plain resize
  kMin = 1,    // record the minimum size only
  kMax = 2,    // record the maximum size only
  kFixed = 3,  // resize; the user cannot resize the window
};

// The window that hosts the browser: an HWND on Windows. Kept opaque here so
// that this header builds on every platform.
using NativeWindow = void*;

// The abstract web view: its derived classes provide the window and the
// browser, this class the call protocol between page and native functions.
//
// Everything here runs on the one thread on which the browser raises its
// events (the host's user-interface thread); nothing is locked.
class Webview {
 public:
  virtual ~Webview();

  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetViewSize(int width, int height, SizeHint hint) = 0;
  // The base address of the page's files, without a trailing slash.
  virtual std::string GetContentRoot() = 0;
  virtual void Navigate(const std::string& url) = 0;
  // Runs `js` in the current document and returns before it has run; the
  // callback, if any, later receives the script's result.
  virtual void EvalJS(const std::string& js, std::function<void(const json&)> callback) = 0;
  // Registers a script that runs at the start of every later document.
  virtual void AddInitScript(const std::string& js) = 0;
  virtual NativeWindow GetNativeWindow() = 0;
  // Stops all browser callbacks, closes the browser, destroys the window.
  virtual void Terminate() = 0;
  // Runs `fn` on the browser's thread.
  virtual void Dispatch(std::function<void()> fn) = 0;

  // Offers `fn` to the page as window[name], replacing any function bound
  // under that name. The page sees the name only from the next document on,
  // so bind before navigating. A name that is not a plain identifier (see
  // IsBindableName) is refused: nothing is bound and false is returned.
  bool BindFunction(const std::string& name, BoundFunction fn);

  // Takes window[name] away from the current and every later document. Does
  // nothing when `name` is not bound.
  void UnbindFunction(const std::string& name);

  // Handles one call message posted by the page: {"id","method","params"}.
  // Runs the bound function and settles the page's Promise through EvalJS.
  // Never throws: it is called from the browser's event handler.
  void OnBrowserMessage(const std::string& message) noexcept;

 private:
  // Settles call `seq` in the page: status 0 resolves, any other rejects.
  // Throws when `result` cannot be written as JSON text.
  void ResolveFunctionDispatch(int seq, int status, const json& result);

  std::map<std::string, BoundFunction> bindings;
  // Expires with the web view; a call in progress watches it.
  std::shared_ptr<void> lifetime = std::make_shared<char>();
};

}  // namespace webhost
