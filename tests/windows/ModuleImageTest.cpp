// The Windows module as the system loads it: every file of web/resources.list
// and the manifest are resources of the module with the files' bytes, and the
// editor's window class belongs to the module and leaves with it, through the
// last ExitDll or, when a host skips that, through FreeLibrary.
#include "Module.h"
#include "PluginInstance.h"
#include "RecordingWebView2.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return file ? bytes.str() : "<no file " + path + ">";
}

std::string resourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  const void* data = found ? LockResource(LoadResource(module, found)) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found)) : "<missing>";
}

HMODULE handleOf(const kelo::host::Module& module) {
  HMODULE handle = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(module.rawSymbol("GetPluginFactory")), &handle);
  return handle;
}

bool hasEditorClass(HMODULE module) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  return GetClassInfoExW(module, L"webview", &info) != FALSE;
}

TEST(ModuleImage, CarriesEveryListedFileAndTheManifestAsResources) {
  kelo::host::Module module(KELO_BUNDLE_PATH);
  ASSERT_TRUE(module.loaded()) << module.lastError();
  std::ifstream list(KELO_SOURCE_DIR "/web/resources.list");
  int count = 0;
  for (std::string line; std::getline(list, line);) {
    std::istringstream entry(line.substr(0, line.find('#')));
    std::string name, path;
    if (!(entry >> name >> path)) continue;
    ++count;
    const std::wstring wide(name.begin(), name.end());
    EXPECT_EQ(resourceBytes(handleOf(module), wide.c_str(), RT_RCDATA), fileBytes(KELO_SOURCE_DIR "/" + path)) << name;
  }
  EXPECT_GE(count, 13) << "seven page files and six notices";
  EXPECT_EQ(resourceBytes(handleOf(module), MAKEINTRESOURCEW(2), RT_MANIFEST), fileBytes(KELO_MANIFEST));
}

// Opens and closes an editor in a frame of this process, so that the class
// is registered; no WebView2 loader is found here, so the editor stays empty.
void openAndCloseEditor(kelo::host::Module& module) {
  kelo::host::PluginInstance instance(module);
  ASSERT_TRUE(instance.ok()) << instance.lastError();
  HWND frame =
      CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
  Steinberg::IPlugView* view = instance.controller()->createView("editor");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->attached(frame, "HWND"), Steinberg::kResultOk);
  EXPECT_TRUE(hasEditorClass(handleOf(module)));
  EXPECT_FALSE(hasEditorClass(GetModuleHandleW(nullptr))) << "the host's module must not hold it";
  view->removed();
  view->release();
  DestroyWindow(frame);
  // A recording WebView2 that another test loaded lets go of this module's
  // handlers before the module unloads.
  if (HMODULE loader = GetModuleHandleW(L"WebView2Loader.dll"))
    if (auto* get = reinterpret_cast<RecordingWebView2Function*>(
            reinterpret_cast<void*>(GetProcAddress(loader, "RecordingWebView2Api"))))
      get()->reset();
}

TEST(ModuleImage, TheWindowClassLeavesWithTheLastExitDllOrWithFreeLibrary) {
  for (const bool hostSkipsExitDll : {false, true}) {
    HMODULE handle = nullptr;
    {
      kelo::host::Module module(KELO_BUNDLE_PATH);
      ASSERT_TRUE(module.loaded()) << module.lastError();
      handle = handleOf(module);
      openAndCloseEditor(module);
      EXPECT_TRUE(hasEditorClass(handle)) << "views come and go; the class stays with the module";
      if (hostSkipsExitDll) module.symbol<bool()>("InitDll")();
    }
    EXPECT_EQ(GetModuleHandleW(L"Kelo.vst3"), nullptr);
    EXPECT_FALSE(hasEditorClass(handle)) << (hostSkipsExitDll ? "FreeLibrary" : "ExitDll");
  }
}

}  // namespace
