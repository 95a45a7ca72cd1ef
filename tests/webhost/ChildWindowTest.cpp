// The editor's child window on the stand-in platform, in this process.
#include "BareWindow.h"

#include <kelo_linux_host.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

using kelo::webhosttest::BareWindow;
using webhost::SizeHint;

namespace {

class ChildWindow : public ::testing::Test
{
protected:
	HWND parent = nullptr;
	std::unique_ptr<BareWindow> view;

	void SetUp () override
	{
		parent = static_cast<HWND> (KeloLinuxCreateHostWindow (1200, 700, "frame"));
		ASSERT_NE (parent, nullptr);
		view = std::make_unique<BareWindow> (parent, false, nullptr);
		ASSERT_NE (view->handle (), nullptr);
	}
	void TearDown () override
	{
		view.reset ();
		KeloLinuxDestroyHostWindow (parent);
	}

	static RECT client (HWND window)
	{
		RECT rect {};
		GetClientRect (window, &rect);
		return rect;
	}
	static RECT outer (HWND window)
	{
		RECT rect {};
		GetWindowRect (window, &rect);
		return rect;
	}
};

TEST_F (ChildWindow, IsAVisibleBorderlessChildAtTheParentsCorner)
{
	const HWND window = view->handle ();
	EXPECT_EQ (GetParent (window), parent);
	EXPECT_TRUE (IsChild (parent, window));
	EXPECT_TRUE (IsWindowVisible (window));
	const LONG style = GetWindowLongW (window, GWL_STYLE);
	EXPECT_EQ (style & ~WS_VISIBLE, WS_CHILD);
	const RECT childOuter = outer (window);
	const RECT childClient = client (window);
	// At the parent's client origin, 640 x 480, without a frame of its own.
	EXPECT_EQ (childClient.right, 640);
	EXPECT_EQ (childClient.bottom, 480);
	EXPECT_EQ (childOuter.right - childOuter.left, 640);
	EXPECT_EQ (childOuter.bottom - childOuter.top, 480);
}

TEST_F (ChildWindow, SizesTheChildToExactlyTheRequestedClientSize)
{
	const int before = view->sizeChanges;
	view->SetViewSize (1000, 510, SizeHint::kNone);
	const RECT rect = outer (view->handle ());
	EXPECT_EQ (rect.right - rect.left, 1000);
	EXPECT_EQ (rect.bottom - rect.top, 510);
	EXPECT_GT (view->sizeChanges, before);
	// A sizing border would show inside the host's window: a child never gets one.
	EXPECT_EQ (GetWindowLongW (view->handle (), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);

	view->SetViewSize (1188, 606, SizeHint::kFixed);
	EXPECT_EQ (client (view->handle ()).right, 1188);
	EXPECT_EQ (client (view->handle ()).bottom, 606);
	EXPECT_EQ (GetWindowLongW (view->handle (), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
}

TEST_F (ChildWindow, MinimumAndMaximumOnlyRecordAndApplyWhenBothNumbersArePositive)
{
	const RECT before = client (view->handle ());
	const int changes = view->sizeChanges;
	view->SetViewSize (300, 200, SizeHint::kMin);
	view->SetViewSize (1500, 900, SizeHint::kMax);
	EXPECT_EQ (client (view->handle ()).right, before.right);
	EXPECT_EQ (client (view->handle ()).bottom, before.bottom);
	EXPECT_EQ (view->sizeChanges, changes);

	MINMAXINFO info {};
	SendMessageW (view->handle (), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM> (&info));
	EXPECT_EQ (info.ptMinTrackSize.x, 300);
	EXPECT_EQ (info.ptMinTrackSize.y, 200);
	EXPECT_EQ (info.ptMaxSize.x, 1500);
	EXPECT_EQ (info.ptMaxTrackSize.y, 900);

	view->SetViewSize (0, 250, SizeHint::kMin);
	view->SetViewSize (1600, 0, SizeHint::kMax);
	MINMAXINFO untouched {};
	untouched.ptMinTrackSize = {11, 12};
	untouched.ptMaxSize = {13, 14};
	untouched.ptMaxTrackSize = {15, 16};
	SendMessageW (view->handle (), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM> (&untouched));
	EXPECT_EQ (untouched.ptMinTrackSize.x, 11);
	EXPECT_EQ (untouched.ptMaxSize.y, 14);
	EXPECT_EQ (untouched.ptMaxTrackSize.x, 15);
}

TEST_F (ChildWindow, TitleArrivesAsWideTextIncludingCharactersOutsideAscii)
{
	view->SetTitle ("Kelo \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB5");
	WCHAR title[32] = {};
	const int length = GetWindowTextW (view->handle (), title, 32);
	ASSERT_GT (length, 0);
	const std::wstring expected = std::wstring (L"Kelo \u00E9t\u00E9 ") + L"\U0001F3B5";
	EXPECT_EQ (std::wstring (title, static_cast<size_t> (length)), expected);
}

TEST_F (ChildWindow, CloseDestroysTheWindowButTheObjectSurvivesHarmlessly)
{
	const HWND window = view->handle ();
	SendMessageW (window, WM_CLOSE, 0, 0);
	EXPECT_FALSE (IsWindow (window));
	EXPECT_EQ (view->handle (), nullptr);
	view->SetTitle ("after close");
	view->SetViewSize (800, 400, SizeHint::kNone);
	view->Terminate ();
	EXPECT_EQ (view->handle (), nullptr);
}

TEST_F (ChildWindow, TerminateDestroysTheWindow)
{
	const HWND window = view->handle ();
	view->Terminate ();
	EXPECT_FALSE (IsWindow (window));
	EXPECT_EQ (GetWindow (parent, GW_CHILD), nullptr);
	view->Terminate ();
}

TEST_F (ChildWindow, DestroyingTheObjectTakesItsWindowAlong)
{
	const HWND window = view->handle ();
	view.reset ();
	EXPECT_FALSE (IsWindow (window));
}

} // namespace
