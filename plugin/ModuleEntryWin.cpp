// The Windows process-attach hook: records the instance handle and the
// folder of the module file.
#include "ModuleEntry.h"

#include "WebviewWin32.h"

#include <windows.h>

#include <string>

BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID reserved)
{
	if (reason == DLL_PROCESS_DETACH)
	{
		// A host that unloads without ExitDll must not leave the class behind.
		// At process exit (reserved not null) nothing outlives us anyway.
		if (reserved == nullptr)
			webhost::WebviewWin32::UnregisterWindowClass ();
		return TRUE;
	}
	if (reason != DLL_PROCESS_ATTACH)
		return TRUE;
	WCHAR path[MAX_PATH] = {};
	const DWORD length = GetModuleFileNameW (instance, path, MAX_PATH);
	const int bytes = WideCharToMultiByte (CP_UTF8, 0, path, static_cast<int> (length), nullptr, 0,
	                                       nullptr, nullptr);
	std::string utf8 (static_cast<size_t> (bytes > 0 ? bytes : 0), '\0');
	if (bytes > 0)
		WideCharToMultiByte (CP_UTF8, 0, path, static_cast<int> (length), utf8.data (), bytes,
		                     nullptr, nullptr);
	kelo::recordModule (instance, utf8);
	return TRUE;
}
