#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <string>

namespace kelo::host {

/// A plug-in module loaded the way a VST 3 host loads it: dlopen and
/// ModuleEntry with the library handle on Linux, LoadLibraryW and InitDll on
/// Windows (a false answer fails the load), then GetPluginFactory.
/// Destruction releases the factory reference held here, calls ModuleExit
/// (ExitDll) and closes the library. Everything made from the factory
/// must be released before the Module goes away.
///
///     kelo::host::Module module (KELO_BUNDLE_PATH);
///     ASSERT_TRUE (module.loaded ()) << module.lastError ();
class Module {
 public:
  /// `path` is the library itself or a bundle folder (X.vst3), in which
  /// Contents/<arch>-linux/X.so (Contents/x86_64-win/X.vst3) is loaded.
  explicit Module(const std::string& path);
  ~Module();

  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool loaded() const { return factoryPtr != nullptr; }
  /// Why loading failed; empty after a successful load.
  const std::string& lastError() const { return error; }
  /// The shared object that was opened.
  const std::string& libraryPath() const { return library; }

  /// The factory; valid while the Module lives. No reference is added.
  Steinberg::IPluginFactory* factory() const { return factoryPtr; }

  /// The class ID of the first factory class whose category is `category`
  /// ("Audio Module Class", "Component Controller Class"); false if none.
  bool findClass(const char* category, Steinberg::TUID cid) const;

  /// A raw lookup of an exported symbol (InitDll, ExitDll, C functions of
  /// the module), or null when the module does not export it.
  template <class F>
  F* symbol(const char* name) const {
    return reinterpret_cast<F*>(rawSymbol(name));
  }
  void* rawSymbol(const char* name) const;

 private:
  void fail(std::string message);

  std::string library;
  std::string error;
  void* handle = nullptr;
  bool entered = false;
  Steinberg::IPluginFactory* factoryPtr = nullptr;
};

/// The shared object a host loads for `path` (see Module).
std::string moduleLibraryPath(const std::string& path);

}  // namespace kelo::host
