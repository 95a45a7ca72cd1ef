#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <utility>

namespace standin::webview2 {

// Reference counting and QueryInterface for an object implementing one COM
// interface. Objects start with one reference, owned by the ComPtr that
// MakeCom returns, and delete themselves when the last one is released.
template <class Interface>
class ComBase : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(Interface)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComBase() = default;
  virtual ~ComBase() = default;

 private:
  std::atomic<ULONG> references{1};
};

template <class Object, class... Arguments>
Microsoft::WRL::ComPtr<Object> MakeCom(Arguments&&... arguments) {
  Microsoft::WRL::ComPtr<Object> object;
  object.Attach(new Object(std::forward<Arguments>(arguments)...));
  return object;
}

}  // namespace standin::webview2
