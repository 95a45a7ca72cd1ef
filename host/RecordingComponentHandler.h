#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>

namespace kelo::host {

/// The host's component handler, recording what the controller tells it.
/// Every call answers kResultOk. With `offersDirty` false it answers
/// queryInterface for IComponentHandler2 with kNoInterface, as an older host
/// does, so setDirty cannot be reached. Created with a reference count of 1.
class RecordingComponentHandler : public Steinberg::Vst::IComponentHandler, public Steinberg::Vst::IComponentHandler2 {
 public:
  explicit RecordingComponentHandler(bool offersDirty = true);
  virtual ~RecordingComponentHandler();

  bool offersDirty() const { return dirtyOffered; }
  /// setDirty calls so far, and the value of the last one (false before any).
  int dirtyCount() const { return dirtyCalls.load(); }
  bool lastDirty() const { return dirtyValue.load(); }
  /// restartComponent calls so far, and the flags of the last one.
  int restartCount() const { return restartCalls.load(); }
  Steinberg::int32 lastRestartFlags() const { return restartFlags.load(); }
  /// beginEdit, performEdit and endEdit calls together.
  int editCount() const { return editCalls.load(); }

  //--- IComponentHandler
  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) SMTG_OVERRIDE;

  //--- IComponentHandler2
  Steinberg::tresult PLUGIN_API setDirty(Steinberg::TBool state) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API requestOpenEditor(Steinberg::FIDString name) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API startGroupEdit() SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API finishGroupEdit() SMTG_OVERRIDE;

  DECLARE_FUNKNOWN_METHODS

 private:
  const bool dirtyOffered;
  std::atomic<int> dirtyCalls{0};
  std::atomic<bool> dirtyValue{false};
  std::atomic<int> restartCalls{0};
  std::atomic<Steinberg::int32> restartFlags{0};
  std::atomic<int> editCalls{0};
};

}  // namespace kelo::host
