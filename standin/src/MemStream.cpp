#include "MemStream.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace standin {

MemStream::MemStream(const BYTE* data, std::size_t size) {
  if (data != nullptr) bytes.assign(data, data + size);
}

HRESULT STDMETHODCALLTYPE MemStream::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(ISequentialStream)) ||
      IsEqualIID(riid, __uuidof(IStream))) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MemStream::AddRef() {
  return ++references;
}

ULONG STDMETHODCALLTYPE MemStream::Release() {
  const ULONG remaining = --references;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT STDMETHODCALLTYPE MemStream::Read(void* buffer, ULONG size, ULONG* read) {
  if (buffer == nullptr) return STG_E_INVALIDPOINTER;
  const std::size_t available = position < bytes.size() ? bytes.size() - position : 0;
  const std::size_t count = std::min<std::size_t>(size, available);
  if (count > 0) std::memcpy(buffer, bytes.data() + position, count);
  position += count;
  if (read != nullptr) *read = static_cast<ULONG>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MemStream::Write(const void* buffer, ULONG size, ULONG* written) {
  if (buffer == nullptr) return STG_E_INVALIDPOINTER;
  if (written != nullptr) *written = 0;
  try {
    if (position + size > bytes.size()) bytes.resize(position + size);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (size > 0) std::memcpy(bytes.data() + position, buffer, size);
  position += size;
  if (written != nullptr) *written = size;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MemStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
  LONGLONG base = 0;
  switch (origin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<LONGLONG>(position);
      break;
    case STREAM_SEEK_END:
      base = static_cast<LONGLONG>(bytes.size());
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  const LONGLONG target = base + move.QuadPart;
  if (target < 0) return STG_E_INVALIDFUNCTION;
  position = static_cast<std::size_t>(target);
  if (newPosition != nullptr) newPosition->QuadPart = static_cast<ULONGLONG>(position);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MemStream::SetSize(ULARGE_INTEGER newSize) {
  try {
    bytes.resize(static_cast<std::size_t>(newSize.QuadPart));
  } catch (const std::exception&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MemStream::CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                            ULARGE_INTEGER* written) {
  if (target == nullptr) return STG_E_INVALIDPOINTER;
  const std::size_t available = position < bytes.size() ? bytes.size() - position : 0;
  const std::size_t count = static_cast<std::size_t>(std::min<ULONGLONG>(size.QuadPart, available));
  ULONG done = 0;
  const HRESULT result = count > 0 ? target->Write(bytes.data() + position, static_cast<ULONG>(count), &done) : S_OK;
  position += count;
  if (read != nullptr) read->QuadPart = count;
  if (written != nullptr) written->QuadPart = done;
  return result;
}

HRESULT STDMETHODCALLTYPE MemStream::Commit(DWORD) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MemStream::Revert() {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE MemStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE MemStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE MemStream::Stat(STATSTG* stat, DWORD) {
  if (stat == nullptr) return STG_E_INVALIDPOINTER;
  *stat = STATSTG{};
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = bytes.size();
  stat->grfMode = STGM_READWRITE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MemStream::Clone(IStream** clone) {
  if (clone == nullptr) return STG_E_INVALIDPOINTER;
  auto* copy = new (std::nothrow) MemStream(bytes.data(), bytes.size());
  if (copy == nullptr) {
    *clone = nullptr;
    return E_OUTOFMEMORY;
  }
  copy->position = position;
  *clone = copy;
  return S_OK;
}

}  // namespace standin

extern "C" IStream* WINAPI SHCreateMemStream(const BYTE* initial, UINT size) {
  try {
    return new standin::MemStream(initial, initial != nullptr ? size : 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
