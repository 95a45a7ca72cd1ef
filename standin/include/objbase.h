// COM basics: IUnknown, the stream interfaces and task memory.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <objidl.h>
