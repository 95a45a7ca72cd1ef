// The editor's child window on the stand-in platform, in this process.
#include "BareWindow.h"

#include <kelo_linux_host.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using kelo::webhosttest::BareWindow;
using webhost::SizeHint;

namespace {

class ChildWindow : public ::testing::Test {
 protected:
  HWND parent = nullptr;
  std::unique_ptr<BareWindow> view;

  void SetUp() override {
    parent = static_cast<HWND>(KeloLinuxCreateHostWindow(1200, 700, "frame"));
    ASSERT_NE(parent, nullptr);
    view = std::make_unique<BareWindow>(parent, false, nullptr);
    ASSERT_NE(view->handle(), nullptr);
  }
  void TearDown() override {
    view.reset();
    KeloLinuxDestroyHostWindow(parent);
  }

  SIZE outer() const {
    RECT rect{};
    GetWindowRect(view->handle(), &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }
  SIZE client() const {
    RECT rect{};
    GetClientRect(view->handle(), &rect);
    return {rect.right, rect.bottom};
  }
  // A sizing border would show inside the host's window: a child never gets one.
  LONG frameStyle() const { return GetWindowLongW(view->handle(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX); }
};

TEST_F(ChildWindow, IsAVisibleBorderlessChildSizedExactlyToTheRequestedClientSize) {
  const HWND window = view->handle();
  EXPECT_EQ(GetParent(window), parent);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & ~WS_VISIBLE, WS_CHILD);
  EXPECT_EQ(outer().cx, 640);
  EXPECT_EQ(client().cy, 480);

  const int before = view->sizeChanges;
  view->SetViewSize(1000, 510, SizeHint::kNone);
  EXPECT_EQ(outer().cx, 1000);
  EXPECT_EQ(outer().cy, 510);
  EXPECT_GT(view->sizeChanges, before);
  EXPECT_EQ(frameStyle(), 0);
  view->SetViewSize(1188, 606, SizeHint::kFixed);
  EXPECT_EQ(client().cx, 1188);
  EXPECT_EQ(client().cy, 606);
  EXPECT_EQ(frameStyle(), 0);
}

TEST_F(ChildWindow, MinimumAndMaximumOnlyRecordAndApplyWhenBothNumbersArePositive) {
  const SIZE before = client();
  const int changes = view->sizeChanges;
  // {min x, min y, max x, max y} set, then what WM_GETMINMAXINFO answers over 11, 12, 13, 14 (max track 13, 14 too).
  const int cases[][8] = {{300, 200, 1500, 900, 300, 200, 1500, 900}, {0, 250, 1600, 0, 11, 12, 13, 14}};
  for (const auto& c : cases) {
    view = std::make_unique<BareWindow>(parent, false, nullptr);
    view->SetViewSize(c[0], c[1], SizeHint::kMin);
    view->SetViewSize(c[2], c[3], SizeHint::kMax);
    EXPECT_EQ(client().cx, before.cx);
    EXPECT_EQ(client().cy, before.cy);
    EXPECT_EQ(view->sizeChanges, changes);
    MINMAXINFO info{};
    info.ptMinTrackSize = {11, 12};
    info.ptMaxSize = info.ptMaxTrackSize = {13, 14};
    SendMessageW(view->handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    const std::vector<LONG> answered{info.ptMinTrackSize.x, info.ptMinTrackSize.y, info.ptMaxSize.x,
                                     info.ptMaxSize.y,      info.ptMaxTrackSize.x, info.ptMaxTrackSize.y};
    EXPECT_EQ(answered, (std::vector<LONG>{c[4], c[5], c[6], c[7], c[6], c[7]}));
  }
}

TEST_F(ChildWindow, TitleArrivesAsWideTextIncludingCharactersOutsideAscii) {
  view->SetTitle("Kelo \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB5");
  WCHAR title[32] = {};
  const int length = GetWindowTextW(view->handle(), title, 32);
  EXPECT_EQ(std::wstring(title, static_cast<size_t>(length)), std::wstring(L"Kelo \u00E9t\u00E9 \U0001F3B5"));
}

TEST_F(ChildWindow, CloseOrTerminateDestroysTheWindowAndTheObjectSurvivesHarmlessly) {
  const HWND closed = view->handle();
  SendMessageW(closed, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(closed));
  EXPECT_EQ(view->handle(), nullptr);
  view->SetTitle("after close");
  view->SetViewSize(800, 400, SizeHint::kNone);
  view->Terminate();

  view = std::make_unique<BareWindow>(parent, false, nullptr);
  const HWND terminated = view->handle();
  view->Terminate();
  EXPECT_FALSE(IsWindow(terminated));
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
  view->Terminate();

  view = std::make_unique<BareWindow>(parent, false, nullptr);
  const HWND destroyed = view->handle();
  view.reset();
  EXPECT_FALSE(IsWindow(destroyed)) << "destroying the object takes its window along";
}

}  // namespace
