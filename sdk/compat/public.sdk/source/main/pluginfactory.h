// A class factory with the interface and behaviour of the VST 3 SDK's
// CPluginFactory, for SDK copies that lack it: classes are registered with a
// create function, their information is handed out in 8-bit and UTF-16 form,
// and the factory clears gPluginFactory when its last reference goes.
#pragma once

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"

#include <vector>

namespace Steinberg {

class CPluginFactory : public IPluginFactory3 {
 public:
  using CreateFunction = FUnknown* (*)(void* context);

  explicit CPluginFactory(const PFactoryInfo& info);
  virtual ~CPluginFactory();

  bool registerClass(const PClassInfo* info, CreateFunction createFunc, void* context = nullptr);
  bool registerClass(const PClassInfo2* info, CreateFunction createFunc, void* context = nullptr);
  bool registerClass(const PClassInfoW* info, CreateFunction createFunc, void* context = nullptr);
  bool isClassRegistered(const FUID& cid);
  void removeAllClasses();

  DECLARE_FUNKNOWN_METHODS

  // IPluginFactory
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
  int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
  tresult PLUGIN_API createInstance(FIDString cid, FIDString _iid, void** obj) SMTG_OVERRIDE;
  // IPluginFactory2
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;
  // IPluginFactory3
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
  tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;

 protected:
  struct PClassEntry {
    PClassInfo2 info8;
    PClassInfoW info16;
    CreateFunction createFunc = nullptr;
    void* context = nullptr;
  };

  const PClassEntry* entryAt(int32 index) const;

  PFactoryInfo factoryInfo;
  std::vector<PClassEntry> classes;
};

extern IPluginFactory* gPluginFactory;

}  // namespace Steinberg
