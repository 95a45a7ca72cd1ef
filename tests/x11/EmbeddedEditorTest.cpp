// The built module's editor in a Linux host as DAWs are: a real X11 window
// given as "X11EmbedWindowID", a frame offering IRunLoop, and that loop the
// only thing that runs on the UI thread. Run on a virtual display (see
// CMakeLists.txt); everything is seen through X itself and the host
// interfaces: the window tree, the pixels on the screen, XTest key presses,
// the messages between the components and the processor's saved state.
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

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

using namespace Steinberg;
using kelo::testhost::Module;
using kelo::testhost::PluginInstance;
using kelo::webhosttest::MessageRelay;
using kelo::webhosttest::runningChromiumChildren;
using kelo::x11host::PlugFrame;
using kelo::x11host::RunLoop;
using kelo::x11host::X11Window;

namespace {

constexpr char kBrowserClassPrefix[] = "KeloEditor-";
constexpr int kStartTimeoutMs = 30000;

bool isBrowserWindow (Display* display, ::Window window)
{
	XClassHint hint {};
	if (!XGetClassHint (display, window, &hint))
		return false;
	const bool ours = hint.res_class && std::string (hint.res_class).rfind (kBrowserClassPrefix, 0) == 0;
	XFree (hint.res_name);
	XFree (hint.res_class);
	XWindowAttributes attributes {};
	return ours && XGetWindowAttributes (display, window, &attributes) && attributes.c_class == InputOutput;
}

// Every browser window below `under` (the root's direct children only, when `direct`).
std::vector<::Window> browserWindows (Display* display, ::Window under, bool direct)
{
	std::vector<::Window> found;
	::Window root, parent, *children = nullptr;
	unsigned count = 0;
	if (!XQueryTree (display, under, &root, &parent, &children, &count))
		return found;
	for (unsigned i = 0; i < count; ++i)
	{
		if (isBrowserWindow (display, children[i]))
			found.push_back (children[i]);
		if (!direct)
			for (::Window deeper : browserWindows (display, children[i], false))
				found.push_back (deeper);
	}
	XFree (children);
	return found;
}

// Mapped browser windows at the top level: windows of their own on the screen.
int browserWindowsOnTheirOwn (Display* display)
{
	int shown = 0;
	for (::Window window : browserWindows (display, DefaultRootWindow (display), true))
	{
		XWindowAttributes attributes {};
		if (XGetWindowAttributes (display, window, &attributes) && attributes.map_state == IsViewable)
			++shown;
	}
	return shown;
}

// One instance, its editor and the host window that shows it.
struct HostedEditor
{
	// The window has the editor's opening size, as a host asks getSize first.
	HostedEditor (Module& module, RunLoop* loop) : window (1188, 606, "Kelo X11 test host"), frame (window, loop)
	{
		kelo::testhost::InstanceOptions options;
		options.connect = false;
		instance = std::make_unique<PluginInstance> (module, options);
		toProcessor = std::make_unique<MessageRelay> (instance->processorConnection ());
		toController = std::make_unique<MessageRelay> (instance->controllerConnection ());
		instance->controllerConnection ()->connect (toProcessor.get ());
		instance->processorConnection ()->connect (toController.get ());
		view = owned (instance->controller ()->createView ("editor"));
		if (view)
			view->setFrame (&frame);
	}
	~HostedEditor ()
	{
		if (view)
			view->setFrame (nullptr);
	}
	tresult attach () { return view->attached (reinterpret_cast<void*> (window.id ()), "X11EmbedWindowID"); }
	int polls () const { return toProcessor->count ("KeloPoll"); }
	std::vector<::Window> browsers () const { return browserWindows (window.display (), window.id (), false); }

	// Members go in reverse: the view first, the relays after the components.
	std::unique_ptr<MessageRelay> toProcessor;
	std::unique_ptr<MessageRelay> toController;
	std::unique_ptr<PluginInstance> instance;
	X11Window window;
	PlugFrame frame;
	IPtr<IPlugView> view;
};

class EmbeddedEditor : public ::testing::Test
{
protected:
	std::string appData;
	Module module {KELO_BUNDLE_PATH};
	RunLoop loop;
	Display* display = nullptr;

	void SetUp () override
	{
		ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "run on an X display (xvfb-run)";
		appData = kelo::webhosttest::useFreshAppDataFolder ();
		ASSERT_TRUE (module.loaded ()) << module.lastError ();
		display = XOpenDisplay (nullptr);
		ASSERT_NE (display, nullptr);
	}

	void TearDown () override
	{
		if (display)
			XCloseDisplay (display);
		kelo::webhosttest::removeAppDataFolder (appData);
	}

	std::unique_ptr<HostedEditor> host ()
	{
		auto hosted = std::make_unique<HostedEditor> (module, &loop);
		X11Window& window = hosted->window;
		loop.watch (window.fd (), [&window] { window.processEvents (); });
		return hosted;
	}

	// The page polls again and again, with only the host's loop running.
	bool pagePolls (HostedEditor& editor, int timeoutMs = kStartTimeoutMs)
	{
		const int before = editor.polls ();
		return loop.runUntil ([&] { return editor.polls () >= before + 3; }, timeoutMs);
	}

	// The browser's window sits at (0, 0) of the host's window at `width` x `height`.
	bool browserFills (HostedEditor& editor, int width, int height)
	{
		return loop.runUntil (
		    [&] {
			    auto browsers = editor.browsers ();
			    if (browsers.size () != 1)
				    return false;
			    XWindowAttributes attributes {};
			    int x = -1, y = -1;
			    ::Window child;
			    XGetWindowAttributes (display, browsers[0], &attributes);
			    XTranslateCoordinates (display, browsers[0], editor.window.id (), 0, 0, &x, &y, &child);
			    return attributes.map_state == IsViewable && x == 0 && y == 0 && attributes.width == width &&
			           attributes.height == height;
		    },
		    5000);
	}

	// A real click (XTest) at (x, y) of the host's window.
	void click (HostedEditor& editor, int x, int y)
	{
		int screenX = 0, screenY = 0;
		::Window child;
		XTranslateCoordinates (display, editor.window.id (), DefaultRootWindow (display), x, y, &screenX, &screenY,
		                       &child);
		XTestFakeMotionEvent (display, -1, screenX, screenY, CurrentTime);
		XTestFakeButtonEvent (display, 1, True, CurrentTime);
		XTestFakeButtonEvent (display, 1, False, CurrentTime);
		XFlush (display);
		loop.runFor (300);
	}

	// Real key presses (XTest) of lower-case letters, to whichever window has the focus.
	void type (const std::string& letters)
	{
		for (const char letter : letters)
		{
			const KeyCode code = XKeysymToKeycode (display, XStringToKeysym (std::string (1, letter).c_str ()));
			XTestFakeKeyEvent (display, code, True, CurrentTime);
			XTestFakeKeyEvent (display, code, False, CurrentTime);
		}
		XFlush (display);
	}

	static std::string savedState (HostedEditor& editor)
	{
		auto stream = kelo::testhost::streamFrom ("");
		editor.instance->component ()->getState (stream);
		return kelo::testhost::contentOf (stream);
	}

	void remove (HostedEditor& editor)
	{
		ASSERT_EQ (editor.view->removed (), kResultOk);
		EXPECT_EQ (loop.registrations (), 0) << "registrations left in the host's loop";
		EXPECT_TRUE (editor.browsers ().empty ());
		EXPECT_TRUE (loop.runUntil ([] { return runningChromiumChildren ().empty (); }, 5000))
		    << runningChromiumChildren ().size () << " browser processes left";
	}
};

TEST_F (EmbeddedEditor, ShowsThePageInsideTheHostWindowFollowingItsSizeDrivenByTheHostLoopAlone)
{
	auto editor = host ();
	ASSERT_EQ (editor->view->isPlatformTypeSupported ("X11EmbedWindowID"), kResultTrue);
	ASSERT_EQ (editor->attach (), kResultOk);
	EXPECT_EQ (loop.registrations (), 2) << "the task queue and the X connection";
	ASSERT_TRUE (pagePolls (*editor));
	ASSERT_TRUE (browserFills (*editor, 1188, 606));
	EXPECT_EQ (browserWindowsOnTheirOwn (display), 0);

	// About 30 polls a second (33 ms between them, plus the round trip)
	// over two seconds of nothing but the host's loop; 20 on a loaded machine.
	const int before = editor->polls ();
	loop.runFor (2000);
	EXPECT_GE (editor->polls () - before, 40);

	// The host resizes on the plug-in's request, the round trip the SDK asks for.
	for (const auto& [width, height] : {std::pair {1584, 808}, std::pair {990, 505}})
	{
		ViewRect size (0, 0, width, height);
		ASSERT_EQ (editor->frame.resizeView (editor->view, &size), kResultTrue);
		EXPECT_TRUE (browserFills (*editor, width, height)) << width << " x " << height;
	}
	remove (*editor);
}

TEST_F (EmbeddedEditor, ScreenShowsThePageEdgeToEdgeWithoutBrowserChrome)
{
	auto editor = host ();
	ASSERT_EQ (editor->attach (), kResultOk);
	ASSERT_TRUE (pagePolls (*editor));
	ASSERT_TRUE (browserFills (*editor, 1188, 606));
	loop.runFor (1000);  // the first frames painted
	XImage* image = XGetImage (display, editor->window.id (), 0, 0, 1188, 606, AllPlanes, ZPixmap);
	ASSERT_NE (image, nullptr);
	// The page's own near-white header along the whole top edge (a tab strip
	// or an address bar is darker), its background (#fffdfd) in the corners
	// below (a cut-off page has its controls there), and nothing left of the
	// host's black window.
	int dark = 0;
	for (int x = 0; x < 1188; ++x)
	{
		const unsigned long pixel = XGetPixel (image, x, 0);
		dark += std::min ({pixel >> 16 & 0xff, pixel >> 8 & 0xff, pixel & 0xff}) < 0xf0;
	}
	EXPECT_EQ (dark, 0) << "pixels of the top edge unlike the page's header";
	for (const auto& [x, y] : {std::pair {0, 605}, std::pair {1187, 605}, std::pair {0, 300}, std::pair {1187, 300}})
		EXPECT_EQ (XGetPixel (image, x, y) & 0xffffff, 0xfffdfdu) << "at " << x << ", " << y;
	int black = 0;
	for (int y = 0; y < 606; ++y)
		for (int x = 0; x < 1188; ++x)
			black += (XGetPixel (image, x, y) & 0xffffff) == 0;
	EXPECT_LT (black, 100) << "the page leaves the host's window uncovered";
	XDestroyImage (image);
	remove (*editor);
}

TEST_F (EmbeddedEditor, KeysTypedAfterAClickIntoThePageReachTheProcessorUntilTheHostIsClicked)
{
	auto editor = host ();
	ASSERT_EQ (editor->attach (), kResultOk);
	ASSERT_TRUE (pagePolls (*editor));
	ASSERT_TRUE (browserFills (*editor, 1188, 606));
	// The host's own area beside the editor, as a DAW's window has.
	editor->window.resize (1300, 700);

	click (*editor, 400, 300);  // into the lyrics
	type ("kelo");
	EXPECT_TRUE (loop.runUntil ([&] { return savedState (*editor).find ("kelo") != std::string::npos; }, 10000))
	    << savedState (*editor);

	click (*editor, 1250, 650);  // the host takes the focus back
	type ("zz");
	loop.runFor (1500);
	EXPECT_EQ (savedState (*editor).find ("kelozz"), std::string::npos) << "keys for the host reached the page";
	remove (*editor);
}

TEST_F (EmbeddedEditor, TwoEditorsAtOnceAndOneRemovedAndAttachedAgain)
{
	auto first = host ();
	auto second = host ();
	ASSERT_EQ (first->attach (), kResultOk);
	ASSERT_EQ (second->attach (), kResultOk);
	ViewRect smaller (0, 0, 990, 505);
	ASSERT_EQ (second->frame.resizeView (second->view, &smaller), kResultTrue);
	ASSERT_TRUE (pagePolls (*first));
	ASSERT_TRUE (pagePolls (*second));
	EXPECT_TRUE (browserFills (*first, 1188, 606));
	EXPECT_TRUE (browserFills (*second, 990, 505));

	ASSERT_EQ (first->view->removed (), kResultOk);
	EXPECT_TRUE (first->browsers ().empty ());
	EXPECT_TRUE (pagePolls (*second)) << "the other editor lives on";
	const int afterRemoval = first->polls ();
	ASSERT_EQ (first->attach (), kResultOk);
	EXPECT_TRUE (pagePolls (*first)) << "attached again";
	EXPECT_GT (first->polls (), afterRemoval);
	EXPECT_TRUE (browserFills (*first, 1188, 606));

	ASSERT_EQ (second->view->removed (), kResultOk);
	remove (*first);
	const int atRemoval = first->polls () + second->polls ();
	loop.runFor (500);
	EXPECT_EQ (first->polls () + second->polls (), atRemoval) << "a removed editor's page called in";
}

struct Refusal
{
	const char* type;
	bool runLoop;
};

class EditorRefused : public EmbeddedEditor, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P (EditorRefused, StartsNothing)
{
	auto editor = std::make_unique<HostedEditor> (module, GetParam ().runLoop ? &loop : nullptr);
	EXPECT_EQ (editor->view->attached (reinterpret_cast<void*> (editor->window.id ()), GetParam ().type),
	           kResultFalse);
	loop.runFor (1000);
	EXPECT_EQ (loop.registrations (), 0);
	EXPECT_TRUE (runningChromiumChildren ().empty ());
	EXPECT_TRUE (browserWindows (display, DefaultRootWindow (display), false).empty ());
	EXPECT_EQ (editor->view->removed (), kResultOk);
}

INSTANTIATE_TEST_SUITE_P (EmbeddedEditor, EditorRefused,
                          ::testing::Values (Refusal {"X11EmbedWindowID", false}, Refusal {"NSView", true},
                                             Refusal {"X11EmbedWindowIDX", true}, Refusal {"x11embedwindowid", true}));

} // namespace
