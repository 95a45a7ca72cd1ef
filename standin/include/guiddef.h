// GUIDs and interface identifiers as the Windows SDK's guiddef.h has them, plus
// the stand-in's way of attaching an identifier to an interface type.
#pragma once

#include <cstdint>
#include <cstring>

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
  return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) {
  return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
  return !IsEqualGUID(a, b);
}

namespace standin {

// Specialised for every interface by STANDIN_DECLARE_IID; the primary template
// is left undefined so that asking for the identifier of an undeclared
// interface fails to compile rather than yielding a wrong GUID.
template <class Interface>
struct InterfaceId;

template <class Interface>
constexpr const GUID& UuidOf() {
  return InterfaceId<Interface>::value;
}

template <class Interface>
constexpr const GUID& UuidOfPointee(Interface**) {
  return InterfaceId<Interface>::value;
}

}  // namespace standin

// Declares the identifier of an interface (which may still be incomplete) and
// the matching IID_<Interface> constant, as the SDK headers do with
// MIDL_INTERFACE and EXTERN_C const IID. Use at global scope.
#define STANDIN_DECLARE_IID(Interface, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7) \
  struct Interface;                                                                \
  namespace standin {                                                              \
  template <>                                                                      \
  struct InterfaceId<::Interface> {                                                \
    static constexpr GUID value{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};     \
  };                                                                               \
  }                                                                                \
  inline constexpr IID IID_##Interface {                                           \
    d1, d2, d3, {                                                                  \
      b0, b1, b2, b3, b4, b5, b6, b7                                               \
    }                                                                              \
  }

// __uuidof(Type): only the type form is supported.
#define __uuidof(Interface) (::standin::UuidOf<Interface>())
#define IID_PPV_ARGS(pp) ::standin::UuidOfPointee(pp), reinterpret_cast<void**>(pp)

#define DEFINE_GUID(name, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7) \
  inline constexpr GUID name {                                        \
    d1, d2, d3, {                                                     \
      b0, b1, b2, b3, b4, b5, b6, b7                                  \
    }                                                                 \
  }
