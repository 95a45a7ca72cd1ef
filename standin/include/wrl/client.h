// Microsoft::WRL::ComPtr: an owning smart pointer for COM interfaces.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

namespace Microsoft {
namespace WRL {

template <class T>
class ComPtr {
 public:
  typedef T InterfaceType;

  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  template <class U, class = std::enable_if_t<std::is_convertible<U*, T*>::value>>
  ComPtr(U* other) noexcept : ptr(other) {
    InternalAddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ptr(other.ptr) { InternalAddRef(); }
  template <class U, class = std::enable_if_t<std::is_convertible<U*, T*>::value>>
  ComPtr(const ComPtr<U>& other) noexcept : ptr(other.Get()) {
    InternalAddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr(other.ptr) { other.ptr = nullptr; }
  ~ComPtr() { InternalRelease(); }

  ComPtr& operator=(std::nullptr_t) noexcept {
    InternalRelease();
    return *this;
  }
  ComPtr& operator=(T* other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  void Swap(ComPtr& other) noexcept { std::swap(ptr, other.ptr); }

  T* Get() const noexcept { return ptr; }
  T* operator->() const noexcept { return ptr; }
  explicit operator bool() const noexcept { return ptr != nullptr; }

  T* const* GetAddressOf() const noexcept { return &ptr; }
  T** GetAddressOf() noexcept { return &ptr; }
  T** ReleaseAndGetAddressOf() noexcept {
    InternalRelease();
    return &ptr;
  }
  // As in WRL, taking the address releases the current interface so that the
  // slot can receive a new one (`IID_PPV_ARGS(&p)`, `x->get_Foo(&p)`).
  T** operator&() noexcept { return ReleaseAndGetAddressOf(); }

  // Takes over a reference the caller owns.
  void Attach(T* other) noexcept {
    if (ptr != nullptr && ptr != other) {
      ptr->Release();
    }
    ptr = other;
  }
  // Gives up the reference without releasing it.
  T* Detach() noexcept {
    T* held = ptr;
    ptr = nullptr;
    return held;
  }
  unsigned long Reset() noexcept { return InternalRelease(); }

  HRESULT CopyTo(T** out) const noexcept {
    if (out == nullptr) {
      return E_POINTER;
    }
    InternalAddRef();
    *out = ptr;
    return S_OK;
  }

  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    return As(out->ReleaseAndGetAddressOf());
  }
  template <class U>
  HRESULT As(U** out) const noexcept {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (ptr == nullptr) {
      return E_POINTER;
    }
    return ptr->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out));
  }

 private:
  void InternalAddRef() const noexcept {
    if (ptr != nullptr) {
      ptr->AddRef();
    }
  }
  unsigned long InternalRelease() noexcept {
    unsigned long remaining = 0;
    T* held = ptr;
    if (held != nullptr) {
      ptr = nullptr;
      remaining = held->Release();
    }
    return remaining;
  }

  T* ptr = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
  return a.Get() == b.Get();
}
template <class T, class U>
bool operator!=(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
  return a.Get() != b.Get();
}
template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept {
  return a.Get() == nullptr;
}
template <class T>
bool operator!=(const ComPtr<T>& a, std::nullptr_t) noexcept {
  return a.Get() != nullptr;
}

}  // namespace WRL
}  // namespace Microsoft
