// Window classes, window creation, parenting, sizing and message delivery,
// as the web view host uses them: the stand-in must behave as Windows does,
// or the host's faults would pass here and show only on Windows.
#include <gtest/gtest.h>
#include <kelo_linux_host.h>
#include <windows.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Delivered = std::pair<HWND, UINT>;
using Size = std::pair<LONG, LONG>;

// What the test window procedure was sent.
std::vector<Delivered> delivered;
std::vector<LPARAM> sizes;  // WM_SIZE's lParam

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  delivered.emplace_back(window, message);
  if (message == WM_SIZE) sizes.push_back(lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

constexpr const wchar_t* kClass = L"standinTestWindow";

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    delivered.clear();
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
  }
  void TearDown() override {
    for (HWND window : made) {
      if (IsWindow(window)) DestroyWindow(window);
    }
    EXPECT_TRUE(UnregisterClassW(kClass, instance));
  }

  HWND Make(DWORD style, int x, int y, int width, int height, HWND parent = nullptr, LPCWSTR name = kClass) {
    made.push_back(CreateWindowExW(0, name, L"", style, x, y, width, height, parent, nullptr, instance, nullptr));
    return made.back();
  }
  // The web view host's own sequence: an overlapped window turned into a child.
  HWND MakeEmbedded(HWND parent) {
    HWND window = Make(WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480);
    SetParent(window, parent);
    SetWindowLongW(window, GWL_STYLE, WS_CHILD);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED);
    return window;
  }
  static int Count(UINT message, HWND window = nullptr) {
    int count = 0;
    for (const auto& [to, number] : delivered) count += number == message && (!window || to == window);
    return count;
  }
  static Size ClientSize(HWND window) {
    RECT rect{};
    EXPECT_TRUE(GetClientRect(window, &rect));
    return {rect.right - rect.left, rect.bottom - rect.top};
  }
  static RECT Outer(HWND window) {
    RECT rect{};
    EXPECT_TRUE(GetWindowRect(window, &rect));
    return rect;
  }
  static Size OuterSize(HWND window) {
    const RECT rect = Outer(window);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  std::vector<HWND> made;
};

TEST_F(Win32Window, AnOverlappedWindowIsCreatedHiddenInsideItsFrameAndEmbeddedFramelessOnlyWithFrameChanged) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 100, 816, 639);
  delivered.clear();
  HWND window = Make(WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(delivered, (std::vector<Delivered>{{window, WM_GETMINMAXINFO},
                                               {window, WM_NCCREATE},
                                               {window, WM_CREATE},
                                               {window, WM_SIZE},
                                               {window, WM_MOVE}}));
  // The overlapped frame: 8 on each side, plus a 23 caption on top.
  EXPECT_EQ(OuterSize(window), (Size{640, 480}));
  EXPECT_EQ(ClientSize(window), (Size{624, 441}));
  EXPECT_EQ(sizes.back(), MAKELPARAM(624, 441));
  EXPECT_FALSE(IsWindowVisible(window));

  delivered.clear();
  EXPECT_EQ(SetParent(window, parent), GetDesktopWindow());
  SetWindowLongW(window, GWL_STYLE, WS_CHILD);
  EXPECT_EQ(ClientSize(window).first, 624);
  EXPECT_EQ(Count(WM_SIZE), 0);
  ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED));
  EXPECT_EQ(ClientSize(window), (Size{640, 480}));
  EXPECT_EQ(Count(WM_SIZE, window), 1);
  EXPECT_EQ(Count(WM_GETMINMAXINFO), 0);  // NOSIZE: no tracking sizes asked
  EXPECT_EQ(Outer(window).left, 200 + 8);
  EXPECT_EQ(Outer(window).top, 100 + 31);
  EXPECT_FALSE(IsWindowVisible(window));  // replacing the style removed WS_VISIBLE
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_VISIBLE));

  // A child is invisible while its parent is hidden.
  ShowWindow(parent, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(window));
  ShowWindow(parent, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(Count(WM_SHOWWINDOW, parent), 2);
}

TEST_F(Win32Window, ClassesAreUniquePerModuleAndNamedWithoutCase) {
  windowClass.lpszClassName = L"STANDINTESTWINDOW";
  SetLastError(0);
  EXPECT_EQ(RegisterClassExW(&windowClass), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  EXPECT_NE(Make(WS_POPUP, 0, 0, 10, 10, nullptr, L"StandInTestWINDOW"), nullptr);
  EXPECT_EQ(Make(WS_POPUP, 0, 0, 10, 10, nullptr, L"noSuchClass"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_FALSE(UnregisterClassW(kClass, instance));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
}

TEST_F(Win32Window, CloseDestroysParentsFirstAndFinalMessagesChildrenFirstOnlyOnTheOwningThread) {
  HWND closed = Make(WS_OVERLAPPEDWINDOW, 0, 0, 640, 480);
  EXPECT_EQ(SendMessageW(closed, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(closed));
  EXPECT_EQ(Count(WM_DESTROY, closed), 1);
  EXPECT_FALSE(SetWindowTextW(closed, L"gone"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(DestroyWindow(closed));

  HWND parent = Make(WS_OVERLAPPEDWINDOW, 0, 0, 800, 600);
  HWND child = MakeEmbedded(parent);
  HWND grandChild = Make(WS_CHILD, 0, 0, 10, 10, child);
  BOOL destroyed = TRUE;
  DWORD error = 0;
  std::thread([&] {
    destroyed = DestroyWindow(parent);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  delivered.clear();
  ASSERT_TRUE(DestroyWindow(parent));
  EXPECT_EQ(delivered, (std::vector<Delivered>{{parent, WM_DESTROY},
                                               {child, WM_DESTROY},
                                               {grandChild, WM_DESTROY},
                                               {grandChild, WM_NCDESTROY},
                                               {child, WM_NCDESTROY},
                                               {parent, WM_NCDESTROY}}));
  EXPECT_FALSE(IsWindow(grandChild));
}

TEST_F(Win32Window, FocusMovesWithKillAndSetFocusAndLeavesWithADestroyedWindow) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600);
  HWND first = Make(WS_CHILD, 0, 0, 10, 10, parent);
  HWND second = Make(WS_CHILD, 0, 0, 10, 10, parent);
  SetFocus(nullptr);
  EXPECT_EQ(SetFocus(first), nullptr);
  delivered.clear();
  EXPECT_EQ(SetFocus(second), first);
  EXPECT_EQ(delivered, (std::vector<Delivered>{{first, WM_KILLFOCUS}, {second, WM_SETFOCUS}}));
  EXPECT_EQ(GetActiveWindow(), parent);
  DestroyWindow(second);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST(Win32Icons, TheStockApplicationIconLoadsWithoutAModuleOnly) {
  EXPECT_NE(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), 16, 0), nullptr);
  EXPECT_EQ(LoadImageW(GetModuleHandleW(nullptr), IDI_APPLICATION, IMAGE_ICON, 16, 16, 0), nullptr);
}

TEST(Win32LinuxHost, TheHostWindowHasTheAskedClientSizeAndTitleAndIsVisible) {
  HWND window = static_cast<HWND>(KeloLinuxCreateHostWindow(800, 600, "Kelo \xC3\xA9"));
  RECT client{};
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ((Size{client.right, client.bottom}), (Size{800, 600}));
  EXPECT_TRUE(IsWindowVisible(window));
  wchar_t title[16];
  GetWindowTextW(window, title, 16);
  EXPECT_EQ(std::wstring(title), L"Kelo \u00e9");
  KeloLinuxDestroyHostWindow(window);
  EXPECT_FALSE(IsWindow(window));
  KeloLinuxDestroyHostWindow(window);  // a second time is harmless
}

}  // namespace
