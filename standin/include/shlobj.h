// Shell folders: SHGetFolderPathW.
#pragma once

#include <windows.h>

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

enum SHGFP_TYPE { SHGFP_TYPE_CURRENT = 0, SHGFP_TYPE_DEFAULT = 1 };

extern "C" {

// CSIDL_APPDATA (the roaming application-data folder) is the XDG config
// folder: $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
// Fails with E_FAIL, leaving `path` empty, when neither can be found, and with
// E_INVALIDARG for folders the stand-in does not know. With CSIDL_FLAG_CREATE
// the folder is created if missing. `path` holds MAX_PATH units.
HRESULT WINAPI SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
}
