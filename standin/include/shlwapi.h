// Light-weight shell helpers: PathAppendW and SHCreateMemStream.
#pragma once

#include <objbase.h>
#include <windows.h>

extern "C" {

// Appends `more` to the MAX_PATH buffer `path` with one separator between
// them. The separator is '/', the stand-in platform's own; '\' is accepted as
// a separator too. No ".." canonicalisation. FALSE, `path` unchanged, when
// the result would not fit into MAX_PATH units or an argument is null.
BOOL WINAPI PathAppendW(LPWSTR path, LPCWSTR more);

// A read/write memory stream holding a copy of `size` bytes of `initial`
// (empty when `initial` is null); the caller owns the one reference.
IStream* WINAPI SHCreateMemStream(const BYTE* initial, UINT size);
}
