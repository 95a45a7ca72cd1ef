#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Bindings.h"
#include "Webview.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#if SMTG_OS_LINUX
#include "HostRunLoop.h"
#endif

namespace webhost {

// The VST 3 plug view that puts the web page into the host's editor frame.
// It creates the browser when attached, hands it the native functions of its
// Bindings before the first navigation, forwards size changes, and destroys
// the browser when removed. All calls come on the host's user-interface
// thread.
class WebviewPluginView : public Steinberg::Vst::EditorView {
 public:
  // `bindings` are not owned and must outlive the view. An empty `url` loads
  // the browser's content root + "/index.html".
  WebviewPluginView(Steinberg::Vst::EditController* controller, const std::string& title,
                    const std::vector<Bindings*>& bindings, Steinberg::ViewRect* rect, const std::string& url);
  ~WebviewPluginView() override;

  // "HWND" windows are supported; on Linux also "X11EmbedWindowID".
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
#if SMTG_OS_LINUX
  // An unsupported type is refused with nothing started. "X11EmbedWindowID"
  // needs the host's run loop (IRunLoop through the frame), which then drives
  // all of the editor's UI-thread work; without one the view is refused.
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
#endif
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool state) override;
  // Keeps a counted reference to the host's frame.
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  Steinberg::tresult PLUGIN_API canResize() override;
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

  void attachedToParent() override;
  void removedFromParent() override;

 private:
  void OnBrowserReady(Webview* ready);

  std::mutex mutex;
  std::string title;
  std::unique_ptr<Webview> webview;
  std::vector<Bindings*> bindings;
  std::string url;
#if SMTG_OS_LINUX
  HostRunLoop runLoop;
#endif
};

}  // namespace webhost
