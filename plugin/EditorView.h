// The editor view the controller hands to the host: the web page in a
// plug view with the plug-in's own sizes.
#pragma once

#include "pluginterfaces/base/fplatform.h"
#include "pluginterfaces/gui/iplugview.h"

namespace kelo {

class Controller;

/** A new editor view for `name`, holding one reference that the caller takes
over; null unless `name` is exactly "editor", or when the view cannot be made. */
Steinberg::IPlugView* createEditorView(Controller* controller, Steinberg::FIDString name);

}  // namespace kelo
