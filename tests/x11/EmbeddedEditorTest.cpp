// The built module's editor in a host as Linux DAWs are (an X11 window given
// as "X11EmbedWindowID", a frame offering IRunLoop, that loop the only one on
// the UI thread), and on the "HWND" path. Seen through X and the host
// interfaces: window tree, pixels, XTest input, messages, saved state.
#include "ChromiumChildren.h"
#include "MessageRelay.h"
#include "PlugFrame.h"
#include "RunLoop.h"
#include "StreamText.h"
#include "TestHost.h"
#include "X11Window.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gtest/gtest.h>

// After every other header: Xlib's macros (None, Status) clash with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

using namespace Steinberg;
using kelo::webhosttest::runningChromiumChildren;

namespace {

constexpr int kStartTimeoutMs = 30000;

// The browser's windows (found by the class it is started with) below
// `under`, or with `onTheirOwn` the mapped ones at the top level.
std::vector<::Window> browserWindows(Display* display, ::Window under, bool onTheirOwn = false) {
  std::vector<::Window> found;
  ::Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, under, &root, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count; ++i) {
    XClassHint hint{};
    XWindowAttributes attributes{};
    if (XGetClassHint(display, children[i], &hint)) {
      if (hint.res_class && std::string(hint.res_class).rfind("KeloEditor-", 0) == 0 &&
          XGetWindowAttributes(display, children[i], &attributes) && attributes.c_class == InputOutput &&
          (!onTheirOwn || attributes.map_state == IsViewable))
        found.push_back(children[i]);
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    if (!onTheirOwn)
      for (::Window deeper : browserWindows(display, children[i])) found.push_back(deeper);
  }
  XFree(children);
  return found;
}

// The child of the root window that holds `window`.
::Window topLevelOf(Display* display, ::Window window) {
  for (::Window root, parent, *children = nullptr; window; window = parent) {
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    XFree(children);
    if (parent == root) break;
  }
  return window;
}

// One instance, its editor, and the host's window (at the editor's opening size,
// its events handled in `loop`) and frame.
struct HostedEditor {
  HostedEditor(kelo::host::Module& module, kelo::x11host::RunLoop* loop)
      : window(1188, 606, "Kelo X11 test host"), frame(window, loop) {
    kelo::host::InstanceOptions options;
    options.connect = false;
    instance = std::make_unique<kelo::host::PluginInstance>(module, options);
    toProcessor = std::make_unique<kelo::webhosttest::MessageRelay>(instance->processorConnection());
    instance->controllerConnection()->connect(toProcessor.get());
    instance->processorConnection()->connect(instance->controllerConnection());
    view = owned(instance->controller()->createView("editor"));
    view->setFrame(&frame);
    if (loop) loop->watch(window.fd(), [this] { window.processEvents(); });
  }
  ~HostedEditor() { view->setFrame(nullptr); }
  tresult attach() { return view->attached(reinterpret_cast<void*>(window.id()), "X11EmbedWindowID"); }
  int polls() const { return toProcessor->count("KeloPoll"); }
  std::vector<::Window> browsers() const { return browserWindows(window.display(), window.id()); }
  std::string savedState() const {
    auto stream = kelo::testhost::streamFrom("");
    instance->component()->getState(stream);
    return kelo::testhost::contentOf(stream);
  }

  // Destroyed bottom up: the view first, the relay after the components.
  std::unique_ptr<kelo::webhosttest::MessageRelay> toProcessor;
  std::unique_ptr<kelo::host::PluginInstance> instance;
  kelo::x11host::X11Window window;
  kelo::x11host::PlugFrame frame;
  IPtr<IPlugView> view;
};

class EmbeddedEditor : public ::testing::Test {
 protected:
  std::string appData;
  kelo::host::Module module{KELO_BUNDLE_PATH};
  kelo::x11host::RunLoop loop;
  Display* display = nullptr;

  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run on an X display (xvfb-run)";
    appData = kelo::webhosttest::useFreshAppDataFolder();
    ASSERT_TRUE(module.loaded()) << module.lastError();
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    // Windows of the browser may vanish between a query and the next.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  void TearDown() override {
    if (display) XCloseDisplay(display);
    kelo::webhosttest::removeAppDataFolder(appData);
  }

  std::unique_ptr<HostedEditor> host() { return std::make_unique<HostedEditor>(module, &loop); }

  // The page polls again and again, with only the host's loop running.
  bool pagePolls(HostedEditor& editor, int timeoutMs = kStartTimeoutMs) {
    const int before = editor.polls();
    return loop.runUntil([&] { return editor.polls() >= before + 3; }, timeoutMs);
  }

  // Exactly one browser window below `frame`, shown at its (0, 0), `width` x `height`.
  bool browserFills(::Window frame, int width, int height) {
    auto browsers = browserWindows(display, frame);
    XWindowAttributes attributes{};
    int x = -1, y = -1;
    ::Window child;
    return browsers.size() == 1 && XGetWindowAttributes(display, browsers[0], &attributes) &&
           XTranslateCoordinates(display, browsers[0], frame, 0, 0, &x, &y, &child) &&
           attributes.map_state == IsViewable && x == 0 && y == 0 && attributes.width == width &&
           attributes.height == height;
  }

  // The page's near-white header along the whole top edge of `frame` (a
  // tab strip or an address bar is darker), its background (#fffdfd) at
  // the sides and the bottom corners (a cut-off page has controls there),
  // and nothing of the host's black window showing.
  void expectPageEdgeToEdge(::Window frame, int width, int height) {
    XImage* image = XGetImage(display, frame, 0, 0, width, height, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int dark = 0, black = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y) & 0xffffff;
        black += pixel == 0;
        dark += y == 0 && std::min({pixel >> 16, pixel >> 8 & 0xff, pixel & 0xff}) < 0xf0;
      }
    EXPECT_EQ(dark, 0) << "pixels of the top edge unlike the page's header";
    EXPECT_LT(black, 100) << "the page leaves the host's window uncovered";
    for (const auto& [x, y] : {std::pair{0, height - 1}, std::pair{width - 1, height - 1}, std::pair{0, height / 2},
                               std::pair{width - 1, height / 2}})
      EXPECT_EQ(XGetPixel(image, x, y) & 0xffffff, 0xfffdfdu) << "at " << x << ", " << y;
    XDestroyImage(image);
  }

  // Real input (XTest): a click at (x, y) of the host's window, and keys
  // held together, to whichever window has the focus.
  void click(HostedEditor& editor, int x, int y) {
    ::Window child;
    XTranslateCoordinates(display, editor.window.id(), DefaultRootWindow(display), x, y, &x, &y, &child);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
    loop.runFor(300);
  }
  void press(std::vector<KeySym> keys) {
    for (KeySym key : keys) XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
      XTestFakeKeyEvent(display, XKeysymToKeycode(display, *key), False, CurrentTime);
    XFlush(display);
  }

  void remove(HostedEditor& editor) {
    ASSERT_EQ(editor.view->removed(), kResultOk);
    EXPECT_EQ(loop.registrations(), 0) << "registrations left in the host's loop";
    EXPECT_TRUE(editor.browsers().empty());
    // The browser ends in the background, unheard by the loop: look again.
    for (int waited = 0; !runningChromiumChildren().empty() && waited < 5000; waited += 20) loop.runFor(20);
    EXPECT_TRUE(runningChromiumChildren().empty()) << runningChromiumChildren().size() << " browser processes left";
  }
};

TEST_F(EmbeddedEditor, TwoEditorsShowThePageEdgeToEdgeInTheirHostWindowsFollowingResizesDrivenByTheHostLoopAlone) {
  auto first = host();
  ASSERT_EQ(first->view->isPlatformTypeSupported("X11EmbedWindowID"), kResultTrue);
  ASSERT_EQ(first->attach(), kResultOk);
  EXPECT_EQ(loop.registrations(), 2) << "the task queue and the X connection";
  ASSERT_TRUE(pagePolls(*first));
  ASSERT_TRUE(loop.runUntil([&] { return browserFills(first->window.id(), 1188, 606); }, 5000));
  EXPECT_TRUE(browserWindows(display, DefaultRootWindow(display), true).empty());
  loop.runFor(1000);  // the first frames painted
  expectPageEdgeToEdge(first->window.id(), 1188, 606);

  // About 30 polls a second over two seconds of nothing but the host's loop
  // (at least half that, for a loaded machine).
  const int before = first->polls();
  loop.runFor(2000);
  EXPECT_GE(first->polls() - before, 30);

  // A second editor, over the first on the screen, its host window put into a
  // frame by a window manager (as desktops do; played here by the test), and
  // its host resizing it on the plug-in's request, the round trip the SDK asks for.
  std::unique_ptr<Display, int (*)(Display*)> wm(XOpenDisplay(nullptr), XCloseDisplay);
  XSelectInput(wm.get(), DefaultRootWindow(wm.get()), SubstructureRedirectMask);
  XSync(wm.get(), False);
  loop.watch(ConnectionNumber(wm.get()), [display = wm.get()] {
    for (XEvent event; XPending(display);) {
      XNextEvent(display, &event);
      if (event.type != MapRequest) continue;
      ::Window frame = XCreateSimpleWindow(display, DefaultRootWindow(display), 50, 50, 1700, 900, 0, 0, 0);
      XAddToSaveSet(display, event.xmaprequest.window);
      XReparentWindow(display, event.xmaprequest.window, frame, 0, 0);
      XMapWindow(display, event.xmaprequest.window);
      XMapWindow(display, frame);
    }
    XFlush(display);
  });
  auto second = host();
  ASSERT_EQ(second->attach(), kResultOk);
  ASSERT_TRUE(pagePolls(*second));
  EXPECT_NE(topLevelOf(display, second->window.id()), second->window.id()) << "not framed";
  for (const auto& [width, height] : {std::pair{1584, 808}, std::pair{990, 505}}) {
    ViewRect size(0, 0, width, height);
    ASSERT_EQ(second->frame.resizeView(second->view, &size), kResultTrue);
    EXPECT_TRUE(loop.runUntil([&, w = width, h = height] { return browserFills(second->window.id(), w, h); }, 5000))
        << width << " x " << height;
  }

  ASSERT_EQ(first->view->removed(), kResultOk);
  EXPECT_TRUE(first->browsers().empty());
  EXPECT_TRUE(pagePolls(*second)) << "the other editor lives on";
  ASSERT_EQ(first->attach(), kResultOk);
  EXPECT_TRUE(pagePolls(*first)) << "attached again";
  EXPECT_TRUE(loop.runUntil([&] { return browserFills(first->window.id(), 1188, 606); }, 5000));

  ASSERT_EQ(second->view->removed(), kResultOk);
  remove(*first);
  const int atRemoval = first->polls() + second->polls();
  loop.runFor(500);
  EXPECT_EQ(first->polls() + second->polls(), atRemoval) << "a removed editor's page called in";
  loop.unwatch(ConnectionNumber(wm.get()));
}

TEST_F(EmbeddedEditor, HwndPathShowsTheSameEditorInAWindowOfTheRequestedSize) {
  auto create = module.symbol<void*(int, int, const char*)>("KeloLinuxCreateHostWindow");
  auto destroy = module.symbol<void(void*)>("KeloLinuxDestroyHostWindow");
  auto pump = module.symbol<int(int)>("KeloLinuxPumpMessages");
  ASSERT_TRUE(create && destroy && pump);
  HostedEditor editor(module, nullptr);
  void* frame = create(1188, 606, "Kelo HWND path");
  ASSERT_EQ(editor.view->attached(frame, "HWND"), kResultOk);
  // The frame's X11 window is the browser window's top-level ancestor.
  ::Window window = 0;
  for (int waited = 0; waited < kStartTimeoutMs && !(window && browserFills(window, 1188, 606)); waited += 50) {
    pump(50);
    auto browsers = browserWindows(display, DefaultRootWindow(display));
    window = browsers.empty() ? 0 : topLevelOf(display, browsers[0]);
  }
  ASSERT_NE(window, 0u) << "no X11 window of the frame's";
  ASSERT_TRUE(browserFills(window, 1188, 606));
  pump(1500);
  expectPageEdgeToEdge(window, 1188, 606);
  EXPECT_TRUE(browserWindows(display, DefaultRootWindow(display), true).empty());
  EXPECT_EQ(editor.view->removed(), kResultOk);
  destroy(frame);
  pump(100);
}

TEST_F(EmbeddedEditor, KeysTypedAfterAClickIntoThePageReachTheProcessorUntilTheHostIsClickedAndOpenNoWindows) {
  auto editor = host();
  ASSERT_EQ(editor->attach(), kResultOk);
  ASSERT_TRUE(pagePolls(*editor));
  ASSERT_TRUE(loop.runUntil([&] { return browserFills(editor->window.id(), 1188, 606); }, 5000));
  editor->window.resize(1300, 700);  // the host's own area beside the editor, as a DAW's window has

  click(*editor, 400, 300);  // into the lyrics
  for (KeySym key : {XK_k, XK_e, XK_l, XK_o}) press({key});
  EXPECT_TRUE(loop.runUntil([&] { return editor->savedState().find("kelo") != std::string::npos; }, 10000))
      << editor->savedState();

  // The browser's own shortcuts open nothing: no dialog, window or tab.
  const std::vector<std::vector<KeySym>> shortcuts = {{XK_Control_L, XK_s},
                                                      {XK_Control_L, XK_p},
                                                      {XK_Control_L, XK_n},
                                                      {XK_Control_L, XK_t},
                                                      {XK_Control_L, XK_Shift_L, XK_i},
                                                      {XK_F5},
                                                      {XK_Alt_L, XK_Left}};
  for (const auto& shortcut : shortcuts) press(shortcut);
  loop.runFor(1500);
  EXPECT_TRUE(browserWindows(display, DefaultRootWindow(display), true).empty());
  EXPECT_EQ(editor->browsers().size(), 1u);
  EXPECT_TRUE(pagePolls(*editor, 5000));

  click(*editor, 1250, 650);  // the host takes the focus back
  press({XK_z});
  loop.runFor(1500);
  EXPECT_EQ(editor->savedState().find("keloz"), std::string::npos) << "a key for the host reached the page";
  remove(*editor);
}

// A type other than the two, or a frame without a run loop (false).
class EditorRefused : public EmbeddedEditor, public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(EditorRefused, StartsNothing) {
  HostedEditor editor(module, GetParam().second ? &loop : nullptr);
  EXPECT_EQ(editor.view->attached(reinterpret_cast<void*>(editor.window.id()), GetParam().first), kResultFalse);
  loop.runFor(1000);
  EXPECT_EQ(loop.registrations(), 0);
  EXPECT_TRUE(runningChromiumChildren().empty());
  EXPECT_TRUE(browserWindows(display, DefaultRootWindow(display)).empty());
  EXPECT_EQ(editor.view->removed(), kResultOk);
}

INSTANTIATE_TEST_SUITE_P(EmbeddedEditor, EditorRefused,
                         ::testing::Values(std::pair{"X11EmbedWindowID", false}, std::pair{"NSView", true},
                                           std::pair{"X11EmbedWindowIDX", true}, std::pair{"x11embedwindowid", true}));

}  // namespace
