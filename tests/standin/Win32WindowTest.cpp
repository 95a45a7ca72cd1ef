// Window classes, window creation, parenting, sizing and message delivery,
// as the web view host uses them.
#include <gtest/gtest.h>
#include <kelo_linux_host.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Delivered {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// What the test window procedure records and how it answers. One per test.
struct Recorder {
  std::vector<Delivered> messages;
  POINT minTrack{0, 0};  // applied in WM_GETMINMAXINFO when both are >= 1
  POINT maxTrack{0, 0};

  std::vector<UINT> Numbers(HWND window = nullptr) const {
    std::vector<UINT> numbers;
    for (const Delivered& d : messages) {
      if (window == nullptr || d.window == window) numbers.push_back(d.message);
    }
    return numbers;
  }
  int Count(UINT message, HWND window = nullptr) const {
    int count = 0;
    for (UINT number : Numbers(window)) count += number == message ? 1 : 0;
    return count;
  }
  const Delivered* Last(UINT message) const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
      if (it->message == message) return &*it;
    }
    return nullptr;
  }
};

Recorder* recorder = nullptr;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  recorder->messages.push_back(Delivered{window, message, wParam, lParam});
  if (message == WM_GETMINMAXINFO) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (recorder->maxTrack.x >= 1 && recorder->maxTrack.y >= 1) info->ptMaxTrackSize = recorder->maxTrack;
    if (recorder->minTrack.x >= 1 && recorder->minTrack.y >= 1) info->ptMinTrackSize = recorder->minTrack;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

constexpr const wchar_t* kClass = L"standinTestWindow";
using Size = std::pair<LONG, LONG>;

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = &record;
    instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    windowClass.cbWndExtra = 16;
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
  }
  void TearDown() override {
    for (HWND window : made) {
      if (IsWindow(window)) DestroyWindow(window);
    }
    EXPECT_TRUE(UnregisterClassW(kClass, instance));
    recorder = nullptr;
  }

  HWND Make(DWORD style, int x, int y, int width, int height, HWND parent = nullptr, LPCWSTR title = L"") {
    HWND window = CreateWindowExW(0, kClass, title, style, x, y, width, height, parent, nullptr, instance, nullptr);
    made.push_back(window);
    return window;
  }
  // The web view host's own sequence: an overlapped window turned into a child.
  HWND MakeEmbedded(HWND parent) {
    HWND window = Make(WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480);
    SetParent(window, parent);
    SetWindowLongW(window, GWL_STYLE, WS_CHILD);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED);
    return window;
  }
  static Size ClientSize(HWND window) {
    RECT rect{};
    EXPECT_TRUE(GetClientRect(window, &rect));
    return {rect.right - rect.left, rect.bottom - rect.top};
  }
  static Size OuterSize(HWND window) {
    RECT rect{};
    EXPECT_TRUE(GetWindowRect(window, &rect));
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  Recorder record;
  HINSTANCE instance = nullptr;
  std::vector<HWND> made;
};

TEST_F(Win32Window, CreationDeliversMinMaxThenNcCreateThenCreateThenTheClientSize) {
  HWND window = Make(WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480);
  ASSERT_NE(window, nullptr);
  const std::vector<UINT> expected{WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE};
  EXPECT_EQ(record.Numbers(), expected);
  EXPECT_EQ(OuterSize(window), (Size{640, 480}));
  // The overlapped frame: 8 on each side, plus a 23 caption on top.
  EXPECT_EQ(ClientSize(window), (Size{624, 441}));
  EXPECT_EQ(record.Last(WM_SIZE)->lParam, MAKELPARAM(624, 441));
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Win32Window, ClassesAreUniquePerModuleAndNamedWithoutCase) {
  WNDCLASSEXW again{};
  again.cbSize = sizeof again;
  again.lpfnWndProc = RecordingProcedure;
  again.hInstance = instance;
  again.lpszClassName = L"STANDINTESTWINDOW";
  SetLastError(0);
  EXPECT_EQ(RegisterClassExW(&again), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  made.push_back(
      CreateWindowExW(0, L"StandInTestWINDOW", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr));
  EXPECT_NE(made.back(), nullptr);
  EXPECT_EQ(CreateWindowExW(0, L"noSuchClass", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_FALSE(UnregisterClassW(kClass, instance));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
}

TEST_F(Win32Window, EmbeddingLosesTheFrameOnlyWithFrameChangedAndMovesToTheParentsClientCorner) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 100, 816, 639);
  HWND window = Make(WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480);
  record.messages.clear();
  EXPECT_EQ(SetParent(window, parent), GetDesktopWindow());
  SetWindowLongW(window, GWL_STYLE, WS_CHILD);
  EXPECT_EQ(ClientSize(window).first, 624);
  EXPECT_EQ(record.Count(WM_SIZE), 0);
  ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED));
  EXPECT_EQ(ClientSize(window), (Size{640, 480}));
  EXPECT_EQ(record.Count(WM_SIZE, window), 1);
  EXPECT_EQ(record.Count(WM_GETMINMAXINFO), 0);  // NOSIZE: no tracking sizes asked
  RECT screen{};
  GetWindowRect(window, &screen);
  EXPECT_EQ(screen.left, 200 + 8);
  EXPECT_EQ(screen.top, 100 + 31);
  EXPECT_FALSE(IsWindowVisible(window));  // replacing the style removed WS_VISIBLE
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_VISIBLE));
}

TEST_F(Win32Window, AChildIsInvisibleWhileItsParentIsHidden) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW, 0, 0, 400, 300);
  HWND child = Make(WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, parent);
  EXPECT_FALSE(IsWindowVisible(child));
  ShowWindow(parent, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_EQ(record.Count(WM_SHOWWINDOW, parent), 1);
}

TEST_F(Win32Window, OnlyATopLevelWindowIsHeldToTheTrackingSizesItAnswers) {
  HWND window = Make(WS_OVERLAPPEDWINDOW, 0, 0, 640, 480);
  HWND child = MakeEmbedded(window);
  record.minTrack = POINT{500, 400};
  record.maxTrack = POINT{900, 700};
  record.messages.clear();
  const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(window, nullptr, 0, 0, 300, 200, flags);
  EXPECT_EQ(record.Numbers(window).front(), static_cast<UINT>(WM_GETMINMAXINFO));
  EXPECT_EQ(OuterSize(window), (Size{500, 400}));
  SetWindowPos(window, nullptr, 0, 0, 2000, 2000, flags);
  EXPECT_EQ(OuterSize(window), (Size{900, 700}));

  record.messages.clear();
  SetWindowPos(child, nullptr, 0, 0, 300, 200, flags | SWP_FRAMECHANGED);
  EXPECT_EQ(record.Count(WM_GETMINMAXINFO), 0);
  EXPECT_EQ(OuterSize(child), (Size{300, 200}));
  EXPECT_EQ(record.Count(WM_SIZE, child), 1);

  // Without answers the defaults still hold a window above the minimum track size.
  record.minTrack = record.maxTrack = POINT{0, 0};
  SetWindowPos(window, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(OuterSize(window), (Size{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)}));
}

TEST_F(Win32Window, SetWindowPosHonoursItsNoFlagsAndSendsSizeOnlyWhenTheClientChanges) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW, 0, 0, 800, 600);
  HWND window = Make(WS_CHILD, 10, 20, 300, 200, parent);
  HWND second = Make(WS_CHILD, 0, 0, 10, 10, parent);
  record.messages.clear();
  SetWindowPos(window, nullptr, 50, 60, 400, 250, SWP_NOMOVE | SWP_NOZORDER);
  RECT moved{}, start{};
  GetWindowRect(parent, &start);
  GetWindowRect(window, &moved);
  EXPECT_EQ(moved.left - start.left, 8 + 10);
  EXPECT_EQ(OuterSize(window), (Size{400, 250}));
  EXPECT_EQ(record.Count(WM_MOVE), 0);
  EXPECT_EQ(record.Count(WM_SIZE), 1);
  SetWindowPos(window, nullptr, 50, 60, 1, 1, SWP_NOSIZE | SWP_NOZORDER);
  GetWindowRect(window, &moved);
  EXPECT_EQ(moved.left - start.left, 8 + 50);
  EXPECT_EQ(OuterSize(window), (Size{400, 250}));
  EXPECT_EQ(record.Count(WM_MOVE), 1);
  SetWindowPos(window, nullptr, 0, 0, 400, 250, SWP_NOMOVE | SWP_NOZORDER);  // same size again
  EXPECT_EQ(record.Count(WM_SIZE), 1);

  ASSERT_EQ(GetTopWindow(parent), second);  // the newest child starts on top
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(GetTopWindow(parent), second);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  EXPECT_EQ(GetTopWindow(parent), window);
  EXPECT_EQ(GetWindow(window, GW_HWNDNEXT), second);

  HWND other = Make(WS_OVERLAPPEDWINDOW, 0, 0, 300, 300);
  SetWindowPos(parent, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(GetActiveWindow(), parent);
  SetWindowPos(other, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(GetActiveWindow(), parent);
  SetWindowPos(other, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(GetActiveWindow(), other);
}

TEST_F(Win32Window, AdjustWindowRectAddsTheDocumentedFrameForTheStyle) {
  const struct {
    DWORD style;
    BOOL menu;
    RECT expected;
  } cases[] = {
      {WS_OVERLAPPEDWINDOW, FALSE, {-8, -31, 648, 488}},
      {WS_CHILD, FALSE, {0, 0, 640, 480}},
      {WS_OVERLAPPEDWINDOW & ~static_cast<DWORD>(WS_THICKFRAME), TRUE, {-3, -(3 + 23 + 20), 643, 483}},
  };
  for (const auto& c : cases) {
    RECT rect{0, 0, 640, 480};
    ASSERT_TRUE(AdjustWindowRect(&rect, c.style, c.menu));
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
              (std::vector<LONG>{c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}));
  }
}

TEST_F(Win32Window, CloseDestroysTheWindowAndAParentTakesItsChildrenParentsFirstThenFinalMessagesChildrenFirst) {
  HWND closed = Make(WS_OVERLAPPEDWINDOW, 0, 0, 640, 480);
  EXPECT_EQ(SendMessageW(closed, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(closed));
  EXPECT_EQ(record.Count(WM_DESTROY, closed), 1);
  EXPECT_FALSE(SetWindowTextW(closed, L"gone"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(DestroyWindow(closed));

  HWND parent = Make(WS_OVERLAPPEDWINDOW, 0, 0, 800, 600);
  HWND child = MakeEmbedded(parent);
  HWND grandChild = Make(WS_CHILD, 0, 0, 10, 10, child);
  record.messages.clear();
  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Delivered& d : record.messages) order.emplace_back(d.window, d.message);
  const std::vector<std::pair<HWND, UINT>> expected{{parent, WM_DESTROY},     {child, WM_DESTROY},
                                                    {grandChild, WM_DESTROY}, {grandChild, WM_NCDESTROY},
                                                    {child, WM_NCDESTROY},    {parent, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  EXPECT_FALSE(IsWindow(grandChild));
}

TEST_F(Win32Window, OnlyTheOwningThreadMayDestroyAWindow) {
  HWND window = Make(WS_POPUP, 0, 0, 10, 10);
  BOOL destroyed = TRUE;
  DWORD error = 0;
  std::thread([&] {
    destroyed = DestroyWindow(window);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(Win32Window, FocusMovesWithKillAndSetFocusAndPaintingOnlyAnInvalidVisibleWindow) {
  HWND parent = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600);
  HWND first = Make(WS_CHILD, 0, 0, 10, 10, parent);
  HWND second = Make(WS_CHILD, 0, 0, 10, 10, parent);
  SetFocus(nullptr);
  EXPECT_EQ(SetFocus(first), nullptr);
  record.messages.clear();
  EXPECT_EQ(SetFocus(second), first);
  const std::vector<std::pair<HWND, UINT>> focus{{first, WM_KILLFOCUS}, {second, WM_SETFOCUS}};
  ASSERT_EQ(record.messages.size(), 2u);
  EXPECT_EQ(std::make_pair(record.messages[0].window, record.messages[0].message), focus[0]);
  EXPECT_EQ(std::make_pair(record.messages[1].window, record.messages[1].message), focus[1]);
  EXPECT_EQ(GetActiveWindow(), parent);
  DestroyWindow(second);
  EXPECT_EQ(GetFocus(), nullptr);

  record.messages.clear();
  UpdateWindow(parent);
  UpdateWindow(parent);  // DefWindowProc validated it
  UpdateWindow(first);   // not visible
  EXPECT_EQ(record.Count(WM_PAINT), 1);
  RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE);
  UpdateWindow(parent);
  EXPECT_EQ(record.Count(WM_PAINT), 2);
}

TEST(Win32Icons, TheStockApplicationIconLoadsWithoutAModuleOnly) {
  EXPECT_NE(
      LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0),
      nullptr);
  EXPECT_EQ(LoadImageW(GetModuleHandleW(nullptr), IDI_APPLICATION, IMAGE_ICON, 16, 16, 0), nullptr);
  EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
}

TEST(Win32LinuxHost, TheHostWindowHasTheAskedClientSizeAndTitleAndIsVisible) {
  HWND window = static_cast<HWND>(KeloLinuxCreateHostWindow(800, 600, "Kelo \xC3\xA9"));
  ASSERT_NE(window, nullptr);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 800);
  EXPECT_EQ(client.bottom, 600);
  EXPECT_TRUE(IsWindowVisible(window));
  wchar_t title[16];
  GetWindowTextW(window, title, 16);
  EXPECT_EQ(std::wstring(title), L"Kelo \u00e9");
  PostMessageW(window, WM_USER, 0, 0);
  EXPECT_EQ(KeloLinuxPumpMessages(0), 1);
  KeloLinuxDestroyHostWindow(window);
  EXPECT_FALSE(IsWindow(window));
  KeloLinuxDestroyHostWindow(window);  // a second time is harmless
}

}  // namespace
