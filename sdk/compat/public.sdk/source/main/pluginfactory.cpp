#include "public.sdk/source/main/pluginfactory.h"

#include <cstring>

namespace Steinberg {

namespace {

// The 8-bit class information is ASCII; other characters become '?'.
void narrowText(char8* to, const char16* from, int32 size) {
  int32 i = 0;
  for (; i < size - 1 && from[i] != 0; ++i) to[i] = from[i] < 0x80 ? static_cast<char8>(from[i]) : '?';
  to[i] = 0;
}

}  // namespace

IPluginFactory* gPluginFactory = nullptr;

CPluginFactory::CPluginFactory(const PFactoryInfo& info)
    : factoryInfo(info){FUNKNOWN_CTOR}

      CPluginFactory::~CPluginFactory() {
  if (gPluginFactory == this) gPluginFactory = nullptr;
  FUNKNOWN_DTOR
}

IMPLEMENT_REFCOUNT(CPluginFactory)

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID _iid, void** obj) {
  QUERY_INTERFACE(_iid, obj, IPluginFactory::iid, IPluginFactory)
  QUERY_INTERFACE(_iid, obj, IPluginFactory2::iid, IPluginFactory2)
  QUERY_INTERFACE(_iid, obj, IPluginFactory3::iid, IPluginFactory3)
  QUERY_INTERFACE(_iid, obj, FUnknown::iid, IPluginFactory)
  *obj = nullptr;
  return kNoInterface;
}

bool CPluginFactory::registerClass(const PClassInfo* info, CreateFunction createFunc, void* context) {
  if (!info || !createFunc) return false;
  PClassInfo2 info2;
  std::memcpy(info2.cid, info->cid, sizeof(TUID));
  info2.cardinality = info->cardinality;
  std::memcpy(info2.category, info->category, PClassInfo::kCategorySize);
  std::memcpy(info2.name, info->name, PClassInfo::kNameSize);
  return registerClass(&info2, createFunc, context);
}

bool CPluginFactory::registerClass(const PClassInfo2* info, CreateFunction createFunc, void* context) {
  if (!info || !createFunc) return false;
  PClassEntry entry;
  entry.info8 = *info;
  entry.info16.fromAscii(*info);
  entry.createFunc = createFunc;
  entry.context = context;
  classes.push_back(entry);
  return true;
}

bool CPluginFactory::registerClass(const PClassInfoW* info, CreateFunction createFunc, void* context) {
  if (!info || !createFunc) return false;
  PClassEntry entry;
  entry.info16 = *info;
  std::memcpy(entry.info8.cid, info->cid, sizeof(TUID));
  entry.info8.cardinality = info->cardinality;
  std::memcpy(entry.info8.category, info->category, PClassInfo::kCategorySize);
  std::memcpy(entry.info8.subCategories, info->subCategories, PClassInfo2::kSubCategoriesSize);
  entry.info8.classFlags = info->classFlags;
  narrowText(entry.info8.name, info->name, PClassInfo::kNameSize);
  narrowText(entry.info8.vendor, info->vendor, PClassInfo2::kVendorSize);
  narrowText(entry.info8.version, info->version, PClassInfo2::kVersionSize);
  narrowText(entry.info8.sdkVersion, info->sdkVersion, PClassInfo2::kVersionSize);
  entry.createFunc = createFunc;
  entry.context = context;
  classes.push_back(entry);
  return true;
}

bool CPluginFactory::isClassRegistered(const FUID& cid) {
  for (const auto& entry : classes)
    if (FUnknownPrivate::iidEqual(cid, entry.info8.cid)) return true;
  return false;
}

void CPluginFactory::removeAllClasses() {
  classes.clear();
}

const CPluginFactory::PClassEntry* CPluginFactory::entryAt(int32 index) const {
  if (index < 0 || index >= static_cast<int32>(classes.size())) return nullptr;
  return &classes[static_cast<size_t>(index)];
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (!info) return kInvalidArgument;
  std::memcpy(info, &factoryInfo, sizeof(PFactoryInfo));
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() {
  return static_cast<int32>(classes.size());
}

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  const PClassEntry* entry = entryAt(index);
  if (!info || !entry) return kInvalidArgument;
  std::memcpy(info->cid, entry->info8.cid, sizeof(TUID));
  info->cardinality = entry->info8.cardinality;
  std::memcpy(info->category, entry->info8.category, PClassInfo::kCategorySize);
  std::memcpy(info->name, entry->info8.name, PClassInfo::kNameSize);
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  const PClassEntry* entry = entryAt(index);
  if (!info || !entry) return kInvalidArgument;
  std::memcpy(info, &entry->info8, sizeof(PClassInfo2));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  const PClassEntry* entry = entryAt(index);
  if (!info || !entry) return kInvalidArgument;
  std::memcpy(info, &entry->info16, sizeof(PClassInfoW));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString _iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !_iid) return kInvalidArgument;
  for (const auto& entry : classes) {
    if (!FUnknownPrivate::iidEqual(cid, entry.info8.cid)) continue;
    FUnknown* instance = entry.createFunc(entry.context);
    if (!instance) return kOutOfMemory;
    // The caller gets its own reference from queryInterface; the creation
    // reference goes either way, so a refused interface leaves nothing alive.
    tresult result = instance->queryInterface(_iid, obj);
    instance->release();
    if (result != kResultOk) {
      *obj = nullptr;
      return kNoInterface;
    }
    return kResultOk;
  }
  return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* /*context*/) {
  return kNotImplemented;
}

}  // namespace Steinberg
