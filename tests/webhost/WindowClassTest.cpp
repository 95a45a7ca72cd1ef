// The editor's window class belongs to the plug-in module and leaves with it:
// the module entry's last ExitDll takes it away, so no class outlives the
// window procedure it points to. The module entry is compiled into this test
// together with the web view host, so the class is seen through the same
// window manager that registered it.
#include "BareWindow.h"
#include "OwnModule.h"

#include <kelo_linux_host.h>
#include <windows.h>

#include <gtest/gtest.h>

extern "C" bool InitDll();
extern "C" bool ExitDll();

using kelo::webhosttest::BareWindow;

namespace {

const wchar_t* const kClass = webhost::WebviewWin32::WindowClassName();

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
  probe.lpszClassName = kClass;
  SetLastError(0);
  if (RegisterClassExW(&probe) != 0) {
    UnregisterClassW(kClass, module);
    return false;
  }
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TEST(WindowClass, IsRegisteredUnderTheModuleHoldingTheWindowCode) {
  const HMODULE own = webhost::OwnModule();
  ASSERT_NE(own, nullptr);
  HWND parent = static_cast<HWND>(KeloLinuxCreateHostWindow(800, 600, nullptr));
  ASSERT_NE(parent, nullptr);
  {
    BareWindow view(parent, false, nullptr);
    ASSERT_NE(view.handle(), nullptr);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(view.handle(), GWLP_HINSTANCE)), own);
    EXPECT_TRUE(classRegistered(own));
  }
  KeloLinuxDestroyHostWindow(parent);
  webhost::WebviewWin32::UnregisterWindowClass();
  EXPECT_FALSE(classRegistered(own));
}

TEST(WindowClass, LeavesWithTheLastExitDllAndComesBackForAViewAfterTheModuleWasReentered) {
  const HMODULE own = webhost::OwnModule();
  ASSERT_TRUE(InitDll());
  ASSERT_TRUE(InitDll());
  HWND parent = static_cast<HWND>(KeloLinuxCreateHostWindow(800, 600, nullptr));
  ASSERT_NE(parent, nullptr);
  {
    BareWindow view(parent, false, nullptr);
    ASSERT_NE(view.handle(), nullptr);
  }
  ASSERT_TRUE(classRegistered(own));

  ASSERT_TRUE(ExitDll());
  EXPECT_TRUE(classRegistered(own)) << "another user of the module is still there";
  ASSERT_TRUE(ExitDll());
  EXPECT_FALSE(classRegistered(own)) << "the last ExitDll must take the class away";
  SetLastError(0);
  EXPECT_FALSE(UnregisterClassW(kClass, own));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

  ASSERT_TRUE(InitDll());
  EXPECT_NE(BareWindow(parent, false, nullptr).handle(), nullptr) << "the window needs its class back";
  KeloLinuxDestroyHostWindow(parent);
  ASSERT_TRUE(ExitDll());
  EXPECT_FALSE(classRegistered(own));
}

}  // namespace
