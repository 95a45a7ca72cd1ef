#include "WebviewPluginView.h"

#include <cstring>
#include <utility>

#include "EdgeChromiumBrowser.h"

namespace webhost {

namespace {

using Steinberg::kResultFalse;
using Steinberg::kResultTrue;
using Steinberg::tresult;

constexpr char kPlatformTypeHWND[] = "HWND";
constexpr char kStartPage[] = "/index.html";

int Width(const Steinberg::ViewRect& rect) { return rect.right - rect.left; }
int Height(const Steinberg::ViewRect& rect) { return rect.bottom - rect.top; }

} // namespace

WebviewPluginView::WebviewPluginView(Steinberg::Vst::EditController* controller, const std::string& title,
                                     const std::vector<Bindings*>& bindings, Steinberg::ViewRect* rect,
                                     const std::string& url)
    : EditorView(controller, rect), title(title), bindings(bindings), url(url) {}

WebviewPluginView::~WebviewPluginView() {
  // The browser's destructor terminates it, so no callback reaches this view.
  webview.reset();
  if (plugFrame != nullptr) {
    plugFrame->release();
    plugFrame = nullptr;
  }
}

tresult PLUGIN_API WebviewPluginView::isPlatformTypeSupported(Steinberg::FIDString type) {
  if (type == nullptr) return kResultFalse;
  // Exactly "HWND": a longer text that begins with it or another case is refused.
  return std::strcmp(type, kPlatformTypeHWND) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API WebviewPluginView::onSize(Steinberg::ViewRect* newSize) {
  if (newSize != nullptr) {
    std::lock_guard<std::mutex> lock(mutex);
    if (webview) webview->SetViewSize(Width(*newSize), Height(*newSize), SizeHint::kNone);
  }
  return CPluginView::onSize(newSize);
}

tresult PLUGIN_API WebviewPluginView::onFocus(Steinberg::TBool) { return kResultTrue; }

tresult PLUGIN_API WebviewPluginView::setFrame(Steinberg::IPlugFrame* frame) {
  if (frame != nullptr) frame->addRef();
  if (plugFrame != nullptr) plugFrame->release();
  plugFrame = frame;
  return kResultTrue;
}

tresult PLUGIN_API WebviewPluginView::canResize() { return kResultFalse; }

tresult PLUGIN_API WebviewPluginView::checkSizeConstraint(Steinberg::ViewRect*) { return kResultFalse; }

void WebviewPluginView::attachedToParent() {
  // Without a parent the browser's window would float free on the desktop,
  // so a host that attaches to nothing gets an empty view.
  if (!webview && systemWindow != nullptr) {
    // The callback holds only this view's address: the browser, and the
    // callback with it, never outlive the view.
    try {
      webview = MakeWebview(false, static_cast<HWND>(systemWindow), [this](Webview* ready) { OnBrowserReady(ready); });
    } catch (...) {
      // Nothing thrown may reach the host; the view stays empty.
    }
  }
  EditorView::attachedToParent();
}

void WebviewPluginView::removedFromParent() {
  if (webview) {
    webview->Terminate();
    webview.reset();
  }
  EditorView::removedFromParent();
}

void WebviewPluginView::OnBrowserReady(Webview* ready) {
  // Every stub must be registered before the first document is created.
  for (Bindings* binding : bindings) {
    if (binding != nullptr) binding->Bind(ready);
  }
  ready->SetTitle(title);
  ready->SetViewSize(Width(rect), Height(rect), SizeHint::kFixed);
  ready->Navigate(url.empty() ? ready->GetContentRoot() + kStartPage : url);
}

} // namespace webhost
