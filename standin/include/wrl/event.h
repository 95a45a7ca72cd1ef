// Microsoft::WRL::Callback: wraps a closure in a reference-counted COM object
// implementing a handler interface whose one method is Invoke.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <type_traits>
#include <utility>

namespace Microsoft {
namespace WRL {
namespace Details {

template <class T, class = void>
struct HasInterfaceId : std::false_type {};
template <class T>
struct HasInterfaceId<T, std::void_t<decltype(::standin::InterfaceId<T>::value)>> : std::true_type {};

template <class Interface, class Closure, class InvokeSignature>
class CallbackObject;

// Invoke's parameter list is taken from the interface itself, so one template
// serves every handler interface.
template <class Interface, class Closure, class Owner, class... Args>
class CallbackObject<Interface, Closure, HRESULT (Owner::*)(Args...)> final : public Interface {
 public:
  explicit CallbackObject(Closure closure) : closure(std::move(closure)) {}

  HRESULT STDMETHODCALLTYPE Invoke(Args... args) override { return closure(std::forward<Args>(args)...); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    bool known = IsEqualIID(riid, __uuidof(IUnknown));
    if constexpr (HasInterfaceId<Interface>::value) {
      known = known || IsEqualIID(riid, __uuidof(Interface));
    }
    if (!known) {
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
    if (remaining == 0) {
      delete this;
    }
    return remaining;
  }

 private:
  ~CallbackObject() = default;

  std::atomic<ULONG> references{1};
  Closure closure;
};

}  // namespace Details

// Returns the new handler holding its only reference. The closure (a lambda,
// function object or std::function) is called with Invoke's arguments and
// returns an HRESULT; it is destroyed with the handler, on whichever thread
// releases the last reference.
template <class Interface, class Closure>
ComPtr<Interface> Callback(Closure&& closure) {
  using Object = Details::CallbackObject<Interface, std::decay_t<Closure>, decltype(&Interface::Invoke)>;
  ComPtr<Interface> handler;
  handler.Attach(new Object(std::forward<Closure>(closure)));
  return handler;
}

// The member-function form: Invoke calls (object->*method)(args...). The
// handler does not keep `object` alive.
template <class Interface, class Object, class... Args>
ComPtr<Interface> Callback(Object* object, HRESULT (Object::*method)(Args...)) {
  return Callback<Interface>([object, method](Args... args) { return (object->*method)(args...); });
}

}  // namespace WRL
}  // namespace Microsoft
