#include "EditorView.h"

#include "Controller.h"
#include "ids.h"

#include "EdgeChromiumBrowser.h"
#include "WebviewPluginView.h"

#include <cstring>
#include <new>
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

class View : public webhost::WebviewPluginView
{
public:
	View (Controller* controller, const std::vector<webhost::Bindings*>& bindings, ViewRect* rect)
	: WebviewPluginView (controller, kPluginName, bindings, rect,
	                     std::string (webhost::kPrivateOrigin) + kStartPage)
	{
	}
	~View () override = default;

	tresult PLUGIN_API canResize () override { return kResultTrue; }

	tresult PLUGIN_API checkSizeConstraint (ViewRect* rect) override
	{
		if (!rect)
			return kInvalidArgument;
		int32 width = rect->right - rect->left;
		if (width > kWidestWidth)
			width = kWidestWidth;
		if (width < kNarrowestWidth)
			width = kNarrowestWidth;
		rect->right = rect->left + width;
		rect->bottom = rect->top + static_cast<int32> (width * kHeightFactor + 0.5);
		return kResultTrue;
	}
};

} // namespace

IPlugView* createEditorView (Controller* controller, FIDString name)
{
	if (!name || std::strcmp (name, Vst::ViewType::kEditor) != 0)
		return nullptr;
	ViewRect rect (0, 0, kInitialWidth, kInitialHeight);
	const std::vector<webhost::Bindings*> bindings {controller};
	return new (std::nothrow) View (controller, bindings, &rect);
}

} // namespace kelo
