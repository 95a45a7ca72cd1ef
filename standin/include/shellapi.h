// ShellExecuteW.
#pragma once

#include <windows.h>

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

extern "C" {

// "open" (or a null verb) hands `file`, usually a URL, to the desktop's
// opener: `xdg-open`, or the program named by the environment variable
// KELO_STANDIN_OPENER. The opener is started without a shell and not waited
// for, and leaves no zombie behind. Returns a value greater than 32 when it
// was started; otherwise an SE_ERR_* code (e.g. SE_ERR_FNF when the opener
// cannot be found), also set as the last error. `parameters`, `directory` and
// `show` are not used.
HINSTANCE WINAPI ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show);
}
