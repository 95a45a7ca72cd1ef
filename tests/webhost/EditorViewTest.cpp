// The editor view as a host sees it: asked from the controller of the built
// module, queried and resized without any browser.
#include "ChromiumChildren.h"
#include "LoadedPlugin.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

#include <array>

using namespace Steinberg;

namespace {

std::array<int32, 4> corners(const ViewRect& rect) {
  return {rect.left, rect.top, rect.right, rect.bottom};
}

class EditorView : public kelo::testing::LoadedPlugin {
 protected:
  IPtr<IPlugView> view;

  void SetUp() override {
    LoadedPlugin::SetUp();
    if (HasFatalFailure()) return;
    view = editor();
    ASSERT_NE(view, nullptr);
  }

  IPtr<IPlugView> editor() { return owned(instance->controller()->createView("editor")); }
};

TEST_F(EditorView, IsMadeOnlyForTheEditorTypeAndSupportsOnlyTheHwndAndX11Windows) {
  for (const char* type : {static_cast<const char*>(nullptr), "Editor", "editor ", "edit", ""})
    EXPECT_EQ(instance->controller()->createView(type), nullptr) << (type ? type : "null");
  for (const char* type : {"HWND", "X11EmbedWindowID"})
    EXPECT_EQ(view->isPlatformTypeSupported(type), kResultTrue) << type;
  for (const char* type : {static_cast<const char*>(nullptr), "HWNDX", "hwnd", "HWN", "X11EmbedWindowIDX"})
    EXPECT_EQ(view->isPlatformTypeSupported(type), kResultFalse) << (type ? type : "null");
  EXPECT_EQ(view->canResize(), kResultTrue);
  EXPECT_EQ(view->onFocus(true), kResultTrue);
  EXPECT_EQ(view->onWheel(1.f), kResultFalse);
}

TEST_F(EditorView, StartsAtTheInitialSizeAndEachRequestMakesAnIndependentView) {
  ViewRect size(7, 7, 7, 7);
  ASSERT_EQ(view->getSize(&size), kResultTrue);
  EXPECT_EQ(corners(size), corners({0, 0, 1188, 606}));
  EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
  IPtr<IPlugView> second = editor();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(view.get(), second.get());
  ViewRect resized(0, 0, 1000, 510);
  EXPECT_EQ(view->onSize(&resized), kResultTrue);
  ASSERT_EQ(second->getSize(&size), kResultTrue);
  EXPECT_EQ(size.getWidth(), 1188);
}

TEST_F(EditorView, SizeCorrectionKeepsTheStageProportionWithinItsWidthLimitsAndTheCorner) {
  // {proposed width, corrected width, corrected height}; the proposed height never matters.
  const int32 cases[][3] = {{500, 990, 505},   {989, 990, 505},   {990, 990, 505},
                            {1000, 1000, 510}, {1188, 1188, 606}, {1584, 1584, 808},
                            {1585, 1584, 808}, {2000, 1584, 808}, {-50, 990, 505}};
  for (const auto& c : cases) {
    ViewRect rect(30, 40, 30 + c[0], 40 + 100);
    EXPECT_EQ(view->checkSizeConstraint(&rect), kResultTrue);
    EXPECT_EQ(corners(rect), corners({30, 40, 30 + c[1], 40 + c[2]})) << "proposed " << c[0];
  }
  EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);

  // Extreme host rectangles give a valid size without overflowing.
  constexpr int32 kMax = 2147483647;
  constexpr int32 kMin = -kMax - 1;
  const ViewRect extremes[] = {{kMin, kMin, kMax, kMax}, {kMax, kMax, kMin, kMin}, {kMax - 5, kMax, kMax, kMax}};
  for (ViewRect extreme : extremes) {
    ASSERT_EQ(view->checkSizeConstraint(&extreme), kResultTrue);
    EXPECT_GE(extreme.getWidth(), 990);
    EXPECT_LE(extreme.getWidth(), 1584);
    EXPECT_GT(extreme.getHeight(), 0);
  }
}

TEST_F(EditorView, AttachedToNoWindowStaysEmptyAndDetachesCleanly) {
  EXPECT_EQ(view->attached(nullptr, "HWND"), kResultOk);
  // A browser for no window would be a stray top-level window: none starts.
  EXPECT_TRUE(kelo::webhosttest::runningChromiumChildren().empty());
  ViewRect size(0, 0, 1000, 510);
  EXPECT_EQ(view->onSize(&size), kResultTrue);
  EXPECT_EQ(view->removed(), kResultOk);
}

}  // namespace
