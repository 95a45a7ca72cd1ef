#include "PreviewWindow.h"

namespace kelo::preview {

using namespace Steinberg;

namespace {
constexpr char kPlatformType[] = "X11EmbedWindowID";
}

PreviewWindow::PreviewWindow(int width, int height, const char* title)
    : window(width, height, title), frame(window, &loop) {
  if (window.ok()) loop.watch(window.fd(), [this] { window.processEvents(); });
}

PreviewWindow::~PreviewWindow() {
  detach();
  if (window.ok()) loop.unwatch(window.fd());
}

tresult PreviewWindow::attach(IPlugView* newView) {
  if (!window.ok() || !newView || view) return kInvalidArgument;
  if (newView->isPlatformTypeSupported(kPlatformType) != kResultTrue) return kNotImplemented;
  newView->setFrame(&frame);
  const tresult result = newView->attached(reinterpret_cast<void*>(window.id()), kPlatformType);
  if (result != kResultOk) {
    newView->setFrame(nullptr);
    return result;
  }
  view = newView;
  return kResultOk;
}

void PreviewWindow::detach() {
  if (!view) return;
  view->removed();
  view->setFrame(nullptr);
  view = nullptr;
}

ViewRect PreviewWindow::resize(int width, int height) {
  ViewRect rect(0, 0, width, height);
  if (!view) return rect;
  if (view->canResize() == kResultTrue) view->checkSizeConstraint(&rect);
  window.resize(rect.getWidth(), rect.getHeight());
  view->onSize(&rect);
  return rect;
}

}  // namespace kelo::preview
