// The edit controller: mirrors the StateDocument with a revision counter,
// caches the transport the processor reports, offers the page its native
// functions and creates the editor view.
//
// Every member is touched only on the host's user-interface thread (host
// calls, messages from the processor and the page's calls all arrive
// there), so nothing here is locked.
#pragma once

#include "StateDocument.h"

#include "Bindings.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include <cstdint>

namespace kelo {

class Controller : public Steinberg::Vst::EditController, public webhost::Bindings {
 public:
  static Steinberg::FUnknown* createInstance(void* context);

  Controller();
  ~Controller() override;

  // IConnectionPoint: takes "KeloTransport" from the processor.
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) SMTG_OVERRIDE;
  // IEditController
  Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* stream) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) SMTG_OVERRIDE;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) SMTG_OVERRIDE;
  // webhost::Bindings: offers keloOpenBrand, keloRead and keloWrite.
  void Bind(webhost::Webview* webview) override;

  // The page's functions; `params` is the call's argument list. They throw
  // where the page's Promise is to be rejected.
  json readSnapshot(const json& params);
  json writeState(const json& params);
  json openBrand();

 private:
  Steinberg::tresult loadState(Steinberg::IBStream* stream);
  void markProjectDirty();

  json state;
  json transport;
  // Counts the documents the host has loaded; wraps around at 2^32.
  std::uint32_t revision = 0;
};

}  // namespace kelo
