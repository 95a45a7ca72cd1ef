#include "AttributeList.h"

#include <algorithm>
#include <cstring>

namespace kelo::host {

using namespace Steinberg;

const TUID AttributeList::kClassIID = INLINE_UID(0x6B656C6F, 0x41747472, 0x4C697374, 0x54657374);

AttributeList::AttributeList(){FUNKNOWN_CTOR}

AttributeList::~AttributeList(){FUNKNOWN_DTOR}

IMPLEMENT_REFCOUNT(AttributeList)

    tresult PLUGIN_API AttributeList::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, kClassIID)) {
    addRef();
    *obj = this;
    return kResultOk;
  }
  QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IAttributeList)
  QUERY_INTERFACE(iid, obj, Vst::IAttributeList::iid, Vst::IAttributeList)
  *obj = nullptr;
  return kNoInterface;
}

void AttributeList::set(const Attribute& attribute) {
  attributes[attribute.name] = attribute;
}

const Attribute* AttributeList::find(AttrID id, Attribute::Kind kind) const {
  if (!id) return nullptr;
  auto it = attributes.find(id);
  if (it == attributes.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

tresult PLUGIN_API AttributeList::setInt(AttrID id, int64 value) {
  if (!id) return kInvalidArgument;
  set(intAttribute(id, value));
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getInt(AttrID id, int64& value) {
  const Attribute* attribute = find(id, Attribute::Kind::kInt);
  if (!attribute) return kResultFalse;
  value = attribute->intValue;
  return kResultOk;
}

tresult PLUGIN_API AttributeList::setFloat(AttrID id, double value) {
  if (!id) return kInvalidArgument;
  set(floatAttribute(id, value));
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getFloat(AttrID id, double& value) {
  const Attribute* attribute = find(id, Attribute::Kind::kFloat);
  if (!attribute) return kResultFalse;
  value = attribute->floatValue;
  return kResultOk;
}

tresult PLUGIN_API AttributeList::setString(AttrID id, const Vst::TChar* string) {
  if (!id || !string) return kInvalidArgument;
  set(stringAttribute(id, std::u16string(reinterpret_cast<const char16_t*>(string))));
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getString(AttrID id, Vst::TChar* string, uint32 sizeInBytes) {
  const Attribute* attribute = find(id, Attribute::Kind::kString);
  if (!attribute) return kResultFalse;
  const uint32 capacity = sizeInBytes / sizeof(Vst::TChar);
  if (!string || capacity == 0) return kInvalidArgument;
  // Truncates to the caller's buffer but always terminates it.
  const size_t units = std::min<size_t>(attribute->stringValue.size(), capacity - 1);
  std::memcpy(string, attribute->stringValue.data(), units * sizeof(Vst::TChar));
  string[units] = 0;
  return kResultOk;
}

tresult PLUGIN_API AttributeList::setBinary(AttrID id, const void* data, uint32 sizeInBytes) {
  if (!id || (!data && sizeInBytes > 0)) return kInvalidArgument;
  set(binaryAttribute(id, std::string(static_cast<const char*>(data), sizeInBytes)));
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getBinary(AttrID id, const void*& data, uint32& sizeInBytes) {
  const Attribute* attribute = find(id, Attribute::Kind::kBinary);
  if (!attribute) {
    sizeInBytes = 0;
    return kResultFalse;
  }
  // Stays valid until the entry is replaced or the list is destroyed.
  data = attribute->binaryValue.data();
  sizeInBytes = static_cast<uint32>(attribute->binaryValue.size());
  return kResultOk;
}

AttributeList* asHostAttributeList(Vst::IAttributeList* list) {
  if (!list) return nullptr;
  void* object = nullptr;
  if (list->queryInterface(AttributeList::kClassIID, &object) != kResultOk || !object) return nullptr;
  auto* own = static_cast<AttributeList*>(object);
  own->release();
  return own;
}

}  // namespace kelo::host
