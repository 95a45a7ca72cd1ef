// Windows Runtime C++ Template Library subset: ComPtr and Callback.
#pragma once

#include <wrl/client.h>
#include <wrl/event.h>
