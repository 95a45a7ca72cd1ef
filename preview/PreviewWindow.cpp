#include "PreviewWindow.h"

#include "ChildProcesses.h"
#include "WindowCapture.h"

namespace kelo::preview {

using namespace Steinberg;

PreviewWindow::PreviewWindow (testhost::Module& module, int width, int height, const char* title)
{
	create = module.symbol<CreateFn> ("KeloLinuxCreateHostWindow");
	destroy = module.symbol<DestroyFn> ("KeloLinuxDestroyHostWindow");
	pumpMessages = module.symbol<PumpFn> ("KeloLinuxPumpMessages");
	if (create && destroy && pumpMessages)
		frame = create (width, height, title);
}

PreviewWindow::~PreviewWindow ()
{
	detach ();
	if (frame)
		destroy (frame);
	if (pumpMessages)
		pumpMessages (50);
}

tresult PreviewWindow::attach (IPlugView* newView)
{
	if (!frame || !newView || view)
		return kInvalidArgument;
	if (newView->isPlatformTypeSupported (kPlatformTypeHWND) != kResultTrue)
		return kNotImplemented;
	newView->setFrame (this);
	const tresult result = newView->attached (frame, kPlatformTypeHWND);
	if (result != kResultOk)
	{
		newView->setFrame (nullptr);
		return result;
	}
	view = newView;
	browserSeen = false;
	return kResultOk;
}

void PreviewWindow::detach ()
{
	if (!view)
		return;
	view->removed ();
	view->setFrame (nullptr);
	view = nullptr;
}

void PreviewWindow::pump (int ms)
{
	if (pumpMessages)
		pumpMessages (ms);
}

ViewRect PreviewWindow::resize (int width, int height)
{
	ViewRect rect (0, 0, width, height);
	if (!view)
		return rect;
	if (view->canResize () == kResultTrue)
		view->checkSizeConstraint (&rect);
	view->onSize (&rect);
	return rect;
}

bool PreviewWindow::closedByUser ()
{
	if (!view)
		return false;
	// The browser's window is the one the user sees and closes; with it the
	// browser ends.
	const bool running = !childProcessesNamed ("chromium").empty ();
	if (running)
		browserSeen = true;
	return browserSeen && !running;
}

unsigned long PreviewWindow::x11Window () const
{
	return view ? findWindowOfProcesses (childProcessesNamed ("chromium")) : 0;
}

tresult PLUGIN_API PreviewWindow::resizeView (IPlugView* requester, ViewRect* newSize)
{
	if (!requester || requester != view || !newSize)
		return kInvalidArgument;
	return requester->onSize (newSize);
}

tresult PLUGIN_API PreviewWindow::queryInterface (const TUID iid, void** obj)
{
	if (FUnknownPrivate::iidEqual (iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual (iid, FUnknown::iid))
	{
		*obj = this;
		return kResultOk;
	}
	*obj = nullptr;
	return kNoInterface;
}

} // namespace kelo::preview
