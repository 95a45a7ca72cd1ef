// WRL Callback and ComPtr reference counting.
#include <gtest/gtest.h>
#include <windows.h>
#include <wrl.h>

#include <memory>
#include <string>

STANDIN_DECLARE_IID(ITestCompletedHandler, 0x1a2b3c4d, 0x0001, 0x0002, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70,
                    0x80);
struct ITestCompletedHandler : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, IUnknown* result, LPCWSTR text) = 0;
};

// An interface with no declared identifier: Callback must still work.
struct ITestAnonymousHandler : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(int value) = 0;
};

namespace {

using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

// Counts how often the closure holding it is destroyed.
struct DestructionProbe {
  explicit DestructionProbe(int& destroyed) : destroyed(destroyed) {}
  ~DestructionProbe() { ++destroyed; }
  int& destroyed;
};

// A plain COM object whose references the test can read.
class CountedObject final : public IUnknown {
 public:
  explicit CountedObject(int& released) : released(released) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!IsEqualIID(riid, __uuidof(IUnknown))) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++released;
    const ULONG remaining = --references;
    if (remaining == 0) delete this;
    return remaining;
  }
  ULONG references = 1;

 private:
  ~CountedObject() = default;
  int& released;
};

TEST(Win32Callback, InvokeForwardsEveryArgumentAndTheClosuresResult) {
  HRESULT seenCode = S_OK;
  IUnknown* seenResult = nullptr;
  std::wstring seenText;
  auto handler = Callback<ITestCompletedHandler>([&](HRESULT code, IUnknown* result, LPCWSTR text) {
    seenCode = code;
    seenResult = result;
    seenText = text;
    return E_ABORT;
  });
  int released = 0;
  auto* object = new CountedObject(released);
  EXPECT_EQ(handler->Invoke(E_FAIL, object, L"done"), E_ABORT);
  EXPECT_EQ(seenCode, E_FAIL);
  EXPECT_EQ(seenResult, object);
  EXPECT_EQ(seenText, L"done");
  EXPECT_EQ(object->references, 1u);  // passing does not add a reference
  object->Release();
}

TEST(Win32Callback, TheClosureIsDestroyedExactlyWhenTheLastReferenceGoes) {
  int destroyed = 0;
  ITestCompletedHandler* raw = nullptr;
  {
    auto probe = std::make_shared<DestructionProbe>(destroyed);
    auto handler = Callback<ITestCompletedHandler>(
        [probe](HRESULT, IUnknown*, LPCWSTR) { return S_OK; });
    probe.reset();
    ComPtr<ITestCompletedHandler> copy = handler;
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(handler.As(&unknown), S_OK);
    raw = handler.Get();
    raw->AddRef();  // as WebView2 keeps a handler it was given
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(raw->Release(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST(Win32Callback, AnswersForIUnknownAndItsInterfaceOnly) {
  auto handler = Callback<ITestCompletedHandler>([](HRESULT, IUnknown*, LPCWSTR) { return S_OK; });
  void* object = nullptr;
  ASSERT_EQ(handler->QueryInterface(IID_ITestCompletedHandler, &object), S_OK);
  EXPECT_EQ(object, handler.Get());
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(handler->QueryInterface(IID_IStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  int total = 0;
  auto anonymous = Callback<ITestAnonymousHandler>([&total](int value) {
    total += value;
    return S_OK;
  });
  anonymous->Invoke(4);
  anonymous->Invoke(5);
  EXPECT_EQ(total, 9);
  EXPECT_EQ(anonymous->QueryInterface(__uuidof(IUnknown), &object), S_OK);
  static_cast<IUnknown*>(object)->Release();
}

class Receiver {
 public:
  HRESULT OnCompleted(HRESULT code, IUnknown*, LPCWSTR) {
    last = code;
    return S_OK;
  }
  HRESULT last = S_OK;
};

TEST(Win32Callback, TheMemberFunctionFormCallsTheObject) {
  Receiver receiver;
  auto handler = Callback<ITestCompletedHandler>(&receiver, &Receiver::OnCompleted);
  EXPECT_EQ(handler->Invoke(E_POINTER, nullptr, L""), S_OK);
  EXPECT_EQ(receiver.last, E_POINTER);
}

TEST(Win32ComPtr, AttachAndDetachMoveOwnershipWithoutCountingWhileCopiesCount) {
  int released = 0;
  auto* object = new CountedObject(released);
  {
    ComPtr<IUnknown> owner;
    owner.Attach(object);
    EXPECT_EQ(object->references, 1u);
    {
      ComPtr<IUnknown> copy = owner;
      EXPECT_EQ(object->references, 2u);
      ComPtr<IUnknown> moved = std::move(copy);
      EXPECT_EQ(object->references, 2u);
      EXPECT_EQ(copy.Get(), nullptr);
    }
    EXPECT_EQ(released, 1);
    IUnknown* detached = owner.Detach();
    EXPECT_EQ(detached, object);
    EXPECT_EQ(owner.Get(), nullptr);
    owner.Attach(detached);
    EXPECT_EQ(object->references, 1u);
  }
  EXPECT_EQ(released, 2);  // the owner's one release destroyed it
}

TEST(Win32ComPtr, ResetAndTakingTheAddressReleaseTheHeldInterfaceOnce) {
  int released = 0;
  ComPtr<IUnknown> pointer;
  pointer.Attach(new CountedObject(released));
  EXPECT_EQ(pointer.Reset(), 0u);
  EXPECT_EQ(released, 1);
  EXPECT_EQ(pointer.Reset(), 0u);
  EXPECT_EQ(released, 1);

  pointer.Attach(new CountedObject(released));
  IUnknown** slot = &pointer;
  EXPECT_EQ(released, 2);
  EXPECT_EQ(*slot, nullptr);
}

TEST(Win32ComPtr, AsLeavesTheTargetEmptyWhenTheInterfaceIsMissing) {
  int released = 0;
  ComPtr<IUnknown> pointer;
  pointer.Attach(new CountedObject(released));
  ComPtr<IStream> stream;
  EXPECT_EQ(pointer.As(&stream), E_NOINTERFACE);
  EXPECT_FALSE(stream);
  ComPtr<IUnknown> same;
  EXPECT_EQ(pointer.As(&same), S_OK);
  EXPECT_EQ(same, pointer);
  ComPtr<IUnknown> empty;
  EXPECT_EQ(empty.As(&same), E_POINTER);
  EXPECT_FALSE(same);
}

}  // namespace
