// Microsoft::WRL::Callback for MinGW, whose Windows headers carry WRL's
// ComPtr but not its event.h: wraps a closure in a reference-counted COM
// object implementing a handler interface whose one method is Invoke. Only
// on the include path of MinGW builds; elsewhere the Windows SDK's own (or,
// on Linux, the stand-in's) is used.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <type_traits>
#include <utility>

namespace Microsoft {
namespace WRL {
namespace Details {

template <class Interface, class Closure, class InvokeSignature>
class CallbackObject;

// Invoke's parameter list is taken from the interface itself.
template <class Interface, class Closure, class Owner, class... Args>
class CallbackObject<Interface, Closure, HRESULT (STDMETHODCALLTYPE Owner::*)(Args...)> final : public Interface {
 public:
  explicit CallbackObject(Closure closure) : closure(std::move(closure)) {}

  HRESULT STDMETHODCALLTYPE Invoke(Args... args) override { return closure(std::forward<Args>(args)...); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, __uuidof(IUnknown)) && !IsEqualIID(riid, __uuidof(Interface))) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = --references;
    if (remaining == 0) delete this;
    return remaining;
  }

 private:
  ~CallbackObject() = default;

  std::atomic<ULONG> references{1};
  Closure closure;
};

}  // namespace Details

// Returns the new handler holding its only reference.
template <class Interface, class Closure>
ComPtr<Interface> Callback(Closure&& closure) {
  using Object = Details::CallbackObject<Interface, std::decay_t<Closure>, decltype(&Interface::Invoke)>;
  ComPtr<Interface> handler;
  handler.Attach(new Object(std::forward<Closure>(closure)));
  return handler;
}

}  // namespace WRL
}  // namespace Microsoft
