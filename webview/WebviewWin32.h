#pragma once

#include <windows.h>

#include <functional>

#include "Webview.h"

namespace webhost {

// Run once by the browser when it is ready, with the ready web view.
using CreatedCallback = std::function<void(Webview*)>;

// The Win32 part of the web view: the native window the browser draws in,
// made a child of the host's editor frame. Everything here runs on the host's
// user-interface thread, the window procedure included.
class WebviewWin32 : public Webview {
 public:
  // Creates and shows the window; with a `parent` it becomes that window's
  // child at its top-left corner.
  WebviewWin32(HWND parent, bool debug, CreatedCallback created);
  ~WebviewWin32() override;

  WebviewWin32(const WebviewWin32&) = delete;
  WebviewWin32& operator=(const WebviewWin32&) = delete;

  void SetTitle(const std::string& title) override;
  void SetViewSize(int width, int height, SizeHint hint) override;
  NativeWindow GetNativeWindow() override;
  // Destroys the window; later window calls do nothing.
  void Terminate() override;

  // Starts the browser; false when it cannot be started.
  virtual bool CreateEnvironment() = 0;
  // Called after every size change of the window.
  virtual void OnSizeChanged();

  // The name of the window class, registered under the plug-in module.
  static const wchar_t* WindowClassName();
  // Removes the window class from the plug-in module. The module entry calls
  // it when the module is being unloaded, so that no class outlives the
  // window procedure it points to. Fails harmlessly while windows exist.
  static void UnregisterWindowClass();

 protected:
  HWND window = nullptr;
  bool debug = false;
  CreatedCallback created;

 private:
  struct Size {
    int width = 0;
    int height = 0;
  };

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void RegisterWindowClass(HINSTANCE instance);

  Size minSize;
  Size maxSize;
};

}  // namespace webhost
