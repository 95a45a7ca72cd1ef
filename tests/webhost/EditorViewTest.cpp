// The editor view as a host sees it: asked from the controller of the built
// module, queried and resized without any browser.
#include "ChromiumChildren.h"
#include "LoadedPlugin.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

using namespace Steinberg;

namespace {

class EditorView : public kelo::testing::LoadedPlugin
{
protected:
	IPtr<IPlugView> view;

	void SetUp () override
	{
		LoadedPlugin::SetUp ();
		if (HasFatalFailure ())
			return;
		view = editor ();
		ASSERT_NE (view, nullptr);
	}

	IPtr<IPlugView> editor () { return owned (instance->controller ()->createView ("editor")); }
};

TEST_F (EditorView, IsMadeOnlyForTheExactEditorType)
{
	EXPECT_EQ (instance->controller ()->createView (nullptr), nullptr);
	EXPECT_EQ (instance->controller ()->createView ("Editor"), nullptr);
	EXPECT_EQ (instance->controller ()->createView ("editor "), nullptr);
	EXPECT_EQ (instance->controller ()->createView ("edit"), nullptr);
	EXPECT_EQ (instance->controller ()->createView (""), nullptr);
}

TEST_F (EditorView, EachRequestMakesAnIndependentView)
{
	IPtr<IPlugView> second = editor ();
	ASSERT_NE (second, nullptr);
	EXPECT_NE (view.get (), second.get ());
	ViewRect size (0, 0, 1000, 510);
	EXPECT_EQ (view->onSize (&size), kResultTrue);
	ViewRect other;
	ASSERT_EQ (second->getSize (&other), kResultTrue);
	EXPECT_EQ (other.getWidth (), 1188);
}

TEST_F (EditorView, ReportsTheInitialSizeBeforeTheHostResizesIt)
{
	ViewRect size (7, 7, 7, 7);
	ASSERT_EQ (view->getSize (&size), kResultTrue);
	EXPECT_EQ (size.left, 0);
	EXPECT_EQ (size.top, 0);
	EXPECT_EQ (size.right, 1188);
	EXPECT_EQ (size.bottom, 606);
	EXPECT_EQ (view->getSize (nullptr), kInvalidArgument);
}

TEST_F (EditorView, KeepsTheStageProportionWithinItsWidthLimits)
{
	struct Case
	{
		int32 proposedWidth;
		int32 width;
		int32 height;
	};
	const Case cases[] = {{500, 990, 505},   {989, 990, 505},   {990, 990, 505},    {1000, 1000, 510},
	                      {1188, 1188, 606}, {1584, 1584, 808}, {1585, 1584, 808}, {2000, 1584, 808},
	                      {-50, 990, 505}};
	for (const auto& c : cases)
	{
		ViewRect rect (0, 0, c.proposedWidth, 100);
		EXPECT_EQ (view->checkSizeConstraint (&rect), kResultTrue);
		EXPECT_EQ (rect.getWidth (), c.width) << "proposed " << c.proposedWidth;
		EXPECT_EQ (rect.getHeight (), c.height) << "proposed " << c.proposedWidth;
	}
}

TEST_F (EditorView, SizeCorrectionKeepsLeftAndTopAndIgnoresTheProposedHeight)
{
	ViewRect rect (30, 40, 30 + 1188, 40 + 100);
	ASSERT_EQ (view->checkSizeConstraint (&rect), kResultTrue);
	EXPECT_EQ (rect.left, 30);
	EXPECT_EQ (rect.top, 40);
	EXPECT_EQ (rect.right, 30 + 1188);
	EXPECT_EQ (rect.bottom, 40 + 606);
	EXPECT_EQ (view->checkSizeConstraint (nullptr), kInvalidArgument);

	// Extreme host rectangles give a valid size without overflowing.
	constexpr int32 kMax = 2147483647;
	constexpr int32 kMin = -kMax - 1;
	const ViewRect extremes[] = {{kMin, kMin, kMax, kMax}, {kMax, kMax, kMin, kMin}, {kMax - 5, kMax, kMax, kMax}};
	for (ViewRect extreme : extremes)
	{
		ASSERT_EQ (view->checkSizeConstraint (&extreme), kResultTrue);
		EXPECT_GE (extreme.getWidth (), 990);
		EXPECT_LE (extreme.getWidth (), 1584);
		EXPECT_GT (extreme.getHeight (), 0);
	}
}

TEST_F (EditorView, IsResizableAndTakesFocus)
{
	EXPECT_EQ (view->canResize (), kResultTrue);
	EXPECT_EQ (view->onFocus (true), kResultTrue);
	EXPECT_EQ (view->onFocus (false), kResultTrue);
	EXPECT_EQ (view->onWheel (1.f), kResultFalse);
}

TEST_F (EditorView, SupportsOnlyTheHwndAndX11PlatformTypes)
{
	EXPECT_EQ (view->isPlatformTypeSupported ("HWND"), kResultTrue);
	EXPECT_EQ (view->isPlatformTypeSupported ("HWNDX"), kResultFalse);
	EXPECT_EQ (view->isPlatformTypeSupported ("hwnd"), kResultFalse);
	EXPECT_EQ (view->isPlatformTypeSupported ("HWN"), kResultFalse);
	EXPECT_EQ (view->isPlatformTypeSupported ("X11EmbedWindowID"), kResultTrue);
	EXPECT_EQ (view->isPlatformTypeSupported ("X11EmbedWindowIDX"), kResultFalse);
	EXPECT_EQ (view->isPlatformTypeSupported (nullptr), kResultFalse);
}

TEST_F (EditorView, AttachedToNoWindowStaysEmptyAndDetachesCleanly)
{
	EXPECT_EQ (view->attached (nullptr, "HWND"), kResultOk);
	// A browser for no window would be a stray top-level window: none starts.
	EXPECT_TRUE (kelo::webhosttest::runningChromiumChildren ().empty ());
	ViewRect size (0, 0, 1000, 510);
	EXPECT_EQ (view->onSize (&size), kResultTrue);
	EXPECT_EQ (view->removed (), kResultOk);
}

} // namespace
