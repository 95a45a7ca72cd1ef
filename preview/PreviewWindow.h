#pragma once

#include "Module.h"

#include "pluginterfaces/gui/iplugview.h"

namespace kelo::preview {

/// The editor's frame, as the DAW of this platform gives it: the window a
/// view is attached to, the IPlugFrame through which the view asks for a
/// new size, the UI thread's message pump, and what the user did to it.
/// Today on Linux this is the stand-in platform's host window inside the
/// module ("HWND"), whose browser shows as a window of its own. UI thread
/// only; the Module outlives it.
class PreviewWindow : public Steinberg::IPlugFrame
{
public:
	PreviewWindow (testhost::Module& module, int width, int height, const char* title);
	virtual ~PreviewWindow ();

	bool ok () const { return frame != nullptr; }

	/// setFrame, then attached with this window; kResultOk or the view's answer.
	Steinberg::tresult attach (Steinberg::IPlugView* view);
	/// removed, then setFrame (nullptr).
	void detach ();
	Steinberg::IPlugView* attachedView () const { return view; }

	/// Runs the UI thread's messages for `ms` milliseconds.
	void pump (int ms);
	/// A user resizing the frame to width x height: the view's constraint
	/// first, then the frame, then onSize. Answers the size taken.
	Steinberg::ViewRect resize (int width, int height);
	/// True once the user closed the window (the browser window went away
	/// after it had been shown).
	bool closedByUser ();

	/// The X11 window showing the editor, for screenshots; 0 if none is known.
	unsigned long x11Window () const;

	//--- IPlugFrame
	Steinberg::tresult PLUGIN_API resizeView (Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) SMTG_OVERRIDE;
	Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
	Steinberg::uint32 PLUGIN_API addRef () SMTG_OVERRIDE { return 1; }
	Steinberg::uint32 PLUGIN_API release () SMTG_OVERRIDE { return 1; }

private:
	using CreateFn = void* (int, int, const char*);
	using DestroyFn = void (void*);
	using PumpFn = int (int);

	CreateFn* create = nullptr;
	DestroyFn* destroy = nullptr;
	PumpFn* pumpMessages = nullptr;
	void* frame = nullptr;
	Steinberg::IPlugView* view = nullptr;
	bool browserSeen = false;
};

} // namespace kelo::preview
