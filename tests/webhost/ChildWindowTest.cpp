// The editor's child window on the stand-in platform, in this process, and
// its window class: that belongs to the plug-in module and leaves with its
// last ExitDll, so no class outlives the window procedure it points to. The
// module entry is compiled in, so the class is seen through the same window
// manager that registered it.
#include "OwnModule.h"
#include "WebviewWin32.h"

#include <kelo_linux_host.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

extern "C" bool InitDll();
extern "C" bool ExitDll();

using webhost::SizeHint;

namespace {

// The child window alone, without a browser: it counts the size changes the
// window layer reports.
class BareWindow : public webhost::WebviewWin32 {
 public:
  using WebviewWin32::WebviewWin32;
  int sizeChanges = 0;

  HWND handle() { return static_cast<HWND>(GetNativeWindow()); }
  std::string GetContentRoot() override { return {}; }
  void Navigate(const std::string&) override {}
  void EvalJS(const std::string&, std::function<void(const webhost::json&)>) override {}
  void AddInitScript(const std::string&) override {}
  void Dispatch(std::function<void()> fn) override { fn(); }
  bool CreateEnvironment() override { return true; }
  void OnSizeChanged() override { ++sizeChanges; }
};

class ChildWindow : public ::testing::Test {
 protected:
  HWND parent = static_cast<HWND>(KeloLinuxCreateHostWindow(1200, 700, "frame"));
  std::unique_ptr<BareWindow> view;

  void SetUp() override {
    ASSERT_NE(parent, nullptr);
    view = std::make_unique<BareWindow>(parent, false, nullptr);
    ASSERT_NE(view->handle(), nullptr);
  }
  void TearDown() override {
    view.reset();
    KeloLinuxDestroyHostWindow(parent);
  }

  // The outer and client sizes, and the sizing border that would show inside the host's window.
  std::vector<LONG> sizesAndFrame() const {
    RECT outer{}, client{};
    GetWindowRect(view->handle(), &outer);
    GetClientRect(view->handle(), &client);
    return {outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom,
            static_cast<LONG>(GetWindowLongW(view->handle(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX))};
  }
};

TEST_F(ChildWindow, IsAVisibleBorderlessChildOfTheRequestedSizeWithAWideTitle) {
  EXPECT_EQ(GetParent(view->handle()), parent);
  EXPECT_TRUE(IsWindowVisible(view->handle()));
  EXPECT_EQ(GetWindowLongW(view->handle(), GWL_STYLE) & ~WS_VISIBLE, WS_CHILD);
  EXPECT_EQ(sizesAndFrame(), (std::vector<LONG>{640, 480, 640, 480, 0}));
  for (const SizeHint hint : {SizeHint::kNone, SizeHint::kFixed}) {
    const int before = view->sizeChanges;
    view->SetViewSize(hint == SizeHint::kNone ? 1000 : 1188, hint == SizeHint::kNone ? 510 : 606, hint);
    EXPECT_EQ(sizesAndFrame(), hint == SizeHint::kNone ? (std::vector<LONG>{1000, 510, 1000, 510, 0})
                                                       : (std::vector<LONG>{1188, 606, 1188, 606, 0}));
    EXPECT_GT(view->sizeChanges, before);
  }
  view->SetTitle("Kelo \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB5");
  WCHAR title[32] = {};
  const int length = GetWindowTextW(view->handle(), title, 32);
  EXPECT_EQ(std::wstring(title, static_cast<size_t>(length)), std::wstring(L"Kelo \u00E9t\u00E9 \U0001F3B5"));
}

TEST_F(ChildWindow, MinimumAndMaximumOnlyRecordAndApplyWhenBothNumbersArePositive) {
  const std::vector<LONG> before = sizesAndFrame();
  // {min x, min y, max x, max y} set, then what WM_GETMINMAXINFO answers over 11, 12, 13, 14 (max track 13, 14 too).
  const int cases[][8] = {{300, 200, 1500, 900, 300, 200, 1500, 900}, {0, 250, 1600, 0, 11, 12, 13, 14}};
  for (const auto& c : cases) {
    view = std::make_unique<BareWindow>(parent, false, nullptr);
    view->SetViewSize(c[0], c[1], SizeHint::kMin);
    view->SetViewSize(c[2], c[3], SizeHint::kMax);
    EXPECT_EQ(sizesAndFrame(), before);
    EXPECT_EQ(view->sizeChanges, 0);
    MINMAXINFO info{};
    info.ptMinTrackSize = {11, 12};
    info.ptMaxSize = info.ptMaxTrackSize = {13, 14};
    SendMessageW(view->handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    const std::vector<LONG> answered{info.ptMinTrackSize.x, info.ptMinTrackSize.y, info.ptMaxSize.x,
                                     info.ptMaxSize.y,      info.ptMaxTrackSize.x, info.ptMaxTrackSize.y};
    EXPECT_EQ(answered, (std::vector<LONG>{c[4], c[5], c[6], c[7], c[6], c[7]}));
  }
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

LRESULT CALLBACK probeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// Whether `module` holds the class: registering it again is refused exactly
// when it does (and a successful probe is taken back at once).
bool classRegistered(HINSTANCE module) {
  WNDCLASSEXW probe{};
  probe.cbSize = sizeof probe;
  probe.lpfnWndProc = probeProcedure;
  probe.hInstance = module;
  probe.lpszClassName = webhost::WebviewWin32::WindowClassName();
  SetLastError(0);
  if (RegisterClassExW(&probe) != 0) return !UnregisterClassW(probe.lpszClassName, module);
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TEST_F(ChildWindow, ClassIsTheModulesAndLeavesWithTheLastExitDllAndComesBackAfterItIsReentered) {
  const HMODULE own = webhost::OwnModule();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(view->handle(), GWLP_HINSTANCE)), own);
  view.reset();
  ASSERT_TRUE(InitDll());
  ASSERT_TRUE(InitDll());
  ASSERT_TRUE(classRegistered(own));
  ASSERT_TRUE(ExitDll());
  EXPECT_TRUE(classRegistered(own)) << "another user of the module is still there";
  ASSERT_TRUE(ExitDll());
  EXPECT_FALSE(classRegistered(own)) << "the last ExitDll must take the class away";
  SetLastError(0);
  EXPECT_FALSE(UnregisterClassW(webhost::WebviewWin32::WindowClassName(), own));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

  ASSERT_TRUE(InitDll());
  view = std::make_unique<BareWindow>(parent, false, nullptr);
  EXPECT_NE(view->handle(), nullptr) << "the window needs its class back";
  view.reset();
  ASSERT_TRUE(ExitDll());
  EXPECT_FALSE(classRegistered(own));
}

}  // namespace
