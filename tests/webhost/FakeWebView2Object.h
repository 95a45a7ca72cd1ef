// WebView2 objects for tests without writing out every method of their
// interfaces: a Fake is a plain structure whose method table is built at run
// time, every slot answering E_NOTIMPL unless a function of the exact
// signature was set for it. Member pointers are read the way GCC and Clang lay
// them out (the Itanium ABI), on Linux and with mingw-w64 alike.
#pragma once

#include <WebView2.h>

#include <array>
#include <cstring>
#include <string>

namespace fakewebview2 {

// A COM object: the method table first, then whatever a test keeps.
struct Fake {
  const void* table;
  ULONG references = 1;
  std::wstring text;      // request address, message, response headers
  int number = 0;         // permission kind, response status
  int state = 0;          // permission state set by the handler; calls made
  HRESULT answer = S_OK;  // what the fake's calls answer
  IStream* content = nullptr;
  struct Fake* request = nullptr;
  struct Fake* response = nullptr;
};

template <class Interface>
Interface* as(Fake* fake) {
  return reinterpret_cast<Interface*>(fake);
}

inline ULONG STDMETHODCALLTYPE addRef(Fake* self) {
  return ++self->references;
}
inline ULONG STDMETHODCALLTYPE release(Fake* self) {
  if (--self->references > 0) return self->references;
  for (Fake* held : {self->request, self->response})
    if (held) release(held);
  if (self->content) self->content->Release();
  delete self;
  return 0;
}
inline HRESULT STDMETHODCALLTYPE queryInterface(Fake* self, REFIID, void** object) {
  addRef(self);
  *object = self;
  return S_OK;
}
inline HRESULT STDMETHODCALLTYPE notImplemented() {
  return E_NOTIMPL;
}

// The slot of a virtual method, from its member pointer (offset in the table plus one).
template <class Method>
size_t slotOf(Method method) {
  struct Raw {
    ptrdiff_t pointer, adjust;
  } raw;
  static_assert(sizeof raw == sizeof method);
  std::memcpy(&raw, &method, sizeof raw);
  return static_cast<size_t>(raw.pointer - 1) / sizeof(void*);
}

// A method table; it must outlive every Fake made from it.
struct Table {
  std::array<void*, 64> slots;
  Table() {
    slots.fill(reinterpret_cast<void*>(&notImplemented));
    slots[0] = reinterpret_cast<void*>(&queryInterface);
    slots[1] = reinterpret_cast<void*>(&addRef);
    slots[2] = reinterpret_cast<void*>(&release);
  }
  template <class Interface, class... Args>
  Table& set(HRESULT (STDMETHODCALLTYPE Interface::*method)(Args...),
             HRESULT(STDMETHODCALLTYPE* function)(Fake*, Args...)) {
    slots.at(slotOf(method)) = reinterpret_cast<void*>(function);
    return *this;
  }
  Fake* make() const {
    auto* fake = new Fake;
    fake->table = slots.data();
    return fake;
  }
};

// Objects whose methods are all unset, beyond IUnknown's.
inline Fake* makeBare() {
  static const Table bare;
  return bare.make();
}

}  // namespace fakewebview2
