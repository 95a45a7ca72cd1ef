// What a host sees of the built module before any plug-in object exists:
// its exports, the class factory and the class information.
#include "LoadedPlugin.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace Steinberg;
using kelo::testing::utf8;

namespace {

const TUID kProcessorCid = INLINE_UID(0xF3F21A72, 0x943E499D, 0xA130C81B, 0xB8C32E71);
const TUID kControllerCid = INLINE_UID(0x4EBA109D, 0xEF1848CA, 0xB774E331, 0x16A2FE94);

class ModuleTest : public ::testing::Test {
 protected:
  kelo::host::Module module{KELO_BUNDLE_PATH};

  void SetUp() override { ASSERT_TRUE(module.loaded()) << module.lastError(); }
};

TEST_F(ModuleTest, GetPluginFactoryReturnsOneFactoryThatCountsItsReferences) {
  auto* getFactory = module.symbol<IPluginFactory * PLUGIN_API()>("GetPluginFactory");
  ASSERT_NE(getFactory, nullptr);
  IPluginFactory* again = getFactory();
  EXPECT_EQ(again, module.factory());
  // The module holds one reference, this call added one; a release leaves
  // the factory usable through the module's own reference.
  again->release();
  EXPECT_EQ(module.factory()->countClasses(), 2);
}

TEST_F(ModuleTest, FactoryNamesTheVendorAndListsTheProcessorThenTheControllerInEveryForm) {
  PFactoryInfo info;
  ASSERT_EQ(module.factory()->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Kelo");
  EXPECT_STREQ(info.url, "");
  EXPECT_STREQ(info.email, "");
  EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);

  IPtr<IPluginFactory3> factory = FUnknownPtr<IPluginFactory3>(module.factory());
  ASSERT_TRUE(factory);
  ASSERT_EQ(factory->countClasses(), 2);
  const struct {
    const TUID& cid;
    const char *category, *name, *subCategories;
    uint32 flags;
  } classes[] = {{kProcessorCid, "Audio Module Class", "Kelo", "Fx|Tools", 1u},
                 {kControllerCid, "Component Controller Class", "Kelo Controller", "", 0u}};
  for (int32 i = 0; i < 2; ++i) {
    PClassInfo plain;
    PClassInfo2 info2;
    PClassInfoW wide;
    ASSERT_EQ(factory->getClassInfo(i, &plain), kResultOk);
    ASSERT_EQ(factory->getClassInfo2(i, &info2), kResultOk);
    ASSERT_EQ(factory->getClassInfoUnicode(i, &wide), kResultOk);
    for (const char* cid : {plain.cid, info2.cid, wide.cid})
      EXPECT_EQ(std::memcmp(cid, classes[i].cid, sizeof(TUID)), 0) << i;
    EXPECT_STREQ(plain.name, classes[i].name);
    EXPECT_STREQ(info2.name, classes[i].name);
    EXPECT_EQ(utf8(wide.name), classes[i].name);
    EXPECT_EQ(plain.cardinality, PClassInfo::kManyInstances);
    EXPECT_STREQ(info2.category, classes[i].category);
    EXPECT_STREQ(info2.subCategories, classes[i].subCategories);
    EXPECT_STREQ(wide.subCategories, classes[i].subCategories);
    EXPECT_EQ(info2.classFlags, classes[i].flags);
    EXPECT_STREQ(info2.vendor, "");
    EXPECT_STREQ(info2.version, "0.1.7");
    EXPECT_EQ(utf8(wide.version), "0.1.7");
    EXPECT_STREQ(info2.sdkVersion, "VST 3.8.0");
    EXPECT_EQ(utf8(wide.sdkVersion), "VST 3.8.0");
  }
  PClassInfo2 none;
  EXPECT_NE(factory->getClassInfo2(2, &none), kResultOk);
  EXPECT_NE(factory->getClassInfo2(-1, &none), kResultOk);
}

TEST_F(ModuleTest, CreatingAnObjectGivesTheInterfaceAskedForOrFailsAndLeavesNothing) {
  Vst::IComponent* component = nullptr;
  ASSERT_EQ(module.factory()->createInstance(kProcessorCid, Vst::IComponent::iid, reinterpret_cast<void**>(&component)),
            kResultOk);
  ASSERT_NE(component, nullptr);
  TUID controllerClass;
  EXPECT_EQ(component->getControllerClassId(controllerClass), kResultOk);
  EXPECT_EQ(std::memcmp(controllerClass, kControllerCid, sizeof(TUID)), 0);
  EXPECT_EQ(component->release(), 0u) << "the host holds the only reference";

  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_NE(module.factory()->createInstance(kControllerCid, Vst::IAudioProcessor::iid, &object), kResultOk);
  EXPECT_EQ(object, nullptr);
  const TUID unknown = INLINE_UID(1, 2, 3, 4);
  EXPECT_NE(module.factory()->createInstance(unknown, FUnknown::iid, &object), kResultOk);
  EXPECT_EQ(object, nullptr);
}

TEST_F(ModuleTest, InitDllAndExitDllCountModuleReferences) {
  auto* initDll = module.symbol<bool()>("InitDll");
  auto* exitDll = module.symbol<bool()>("ExitDll");
  ASSERT_NE(initDll, nullptr);
  ASSERT_NE(exitDll, nullptr);
  // ModuleEntry (InitDll on Windows) counted once already; balance around it.
  EXPECT_TRUE(initDll());
  EXPECT_TRUE(initDll());
  EXPECT_TRUE(exitDll());
  EXPECT_TRUE(exitDll());
  EXPECT_TRUE(exitDll());   // the count is back at 0
  EXPECT_FALSE(exitDll());  // below 0
  EXPECT_TRUE(initDll());   // back at 0
  EXPECT_TRUE(initDll());   // ModuleExit's share
}

TEST_F(ModuleTest, OnlyTheEntryPointsAreExported) {
#if defined(_WIN32)
  // The whole export table is checked with objdump, outside the program.
  EXPECT_EQ(module.rawSymbol("ModuleEntry"), nullptr);
#else
  EXPECT_NE(module.rawSymbol("ModuleEntry"), nullptr);
  EXPECT_NE(module.rawSymbol("ModuleExit"), nullptr);
  EXPECT_NE(module.rawSymbol("KeloLinuxCreateHostWindow"), nullptr);
#endif
  // Internals stay hidden: the factory global, and the stand-in's Win32 names,
  // which would otherwise bind to another module's copy.
  for (const char* hidden : {"_ZN9Steinberg14gPluginFactoryE", "FindResourceW", "CreateWindowExW", "GetMessageW"})
    EXPECT_EQ(module.rawSymbol(hidden), nullptr) << hidden;
}

}  // namespace
