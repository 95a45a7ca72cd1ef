// COM task memory: the allocator WebView2 uses for strings it hands out.
#include <windows.h>

#include <cstdlib>

extern "C" {

// Like the COM allocator, a zero-byte request still yields a distinct block.
LPVOID WINAPI CoTaskMemAlloc(SIZE_T size) {
  return std::malloc(size == 0 ? 1 : size);
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID block, SIZE_T size) {
  return std::realloc(block, size == 0 ? 1 : size);
}

void WINAPI CoTaskMemFree(LPVOID block) {
  std::free(block);
}

}  // extern "C"
