#include "EditorView.h"

#include "Controller.h"
#include "ids.h"

#include "EdgeChromiumBrowser.h"
#include "WebviewPluginView.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace kelo {

namespace {

using namespace Steinberg;

// The page's stage is 1584 x 808; the editor keeps that proportion, width leading.
constexpr int32 kInitialWidth = 1188;
constexpr int32 kInitialHeight = 606;
constexpr int32 kNarrowestWidth = 990;
constexpr int32 kWidestWidth = 1584;
// The double just above 808 / 1584, so that the widest width gives exactly 808.
constexpr double kHeightFactor = 0.5101010101010102;
constexpr char kStartPage[] = "/index.html";

class View : public webhost::WebviewPluginView {
 public:
  View(Controller* controller, const std::vector<webhost::Bindings*>& bindings, ViewRect* rect)
      : WebviewPluginView(controller, kPluginName, bindings, rect, std::string(webhost::kPrivateOrigin) + kStartPage) {}
  ~View() override = default;

  tresult PLUGIN_API canResize() override { return kResultTrue; }

  tresult PLUGIN_API checkSizeConstraint(ViewRect* rect) override {
    if (!rect) return kInvalidArgument;
    // Wide arithmetic: a host's rectangle may span the whole coordinate range.
    const auto proposed = static_cast<int64>(rect->right) - rect->left;
    const auto width = static_cast<int32>(std::clamp<int64>(proposed, kNarrowestWidth, kWidestWidth));
    const auto height = static_cast<int32>(width * kHeightFactor + 0.5);
    // A corner too near the end of the range moves back rather than wraps.
    rect->left = std::min(rect->left, std::numeric_limits<int32>::max() - width);
    rect->top = std::min(rect->top, std::numeric_limits<int32>::max() - height);
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return kResultTrue;
  }
};

}  // namespace

IPlugView* createEditorView(Controller* controller, FIDString name) {
  if (!name || std::strcmp(name, Vst::ViewType::kEditor) != 0) return nullptr;
  // Nothing thrown may reach the host: a view that cannot be made is none.
  try {
    ViewRect rect(0, 0, kInitialWidth, kInitialHeight);
    const std::vector<webhost::Bindings*> bindings{controller};
    return new View(controller, bindings, &rect);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace kelo
