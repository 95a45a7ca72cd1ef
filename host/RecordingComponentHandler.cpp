#include "RecordingComponentHandler.h"

namespace kelo::host {

using namespace Steinberg;

RecordingComponentHandler::RecordingComponentHandler(bool offersDirty)
    : dirtyOffered(offersDirty){FUNKNOWN_CTOR}

      RecordingComponentHandler::~RecordingComponentHandler(){FUNKNOWN_DTOR}

      IMPLEMENT_REFCOUNT(RecordingComponentHandler)

          tresult PLUGIN_API RecordingComponentHandler::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IComponentHandler)
  QUERY_INTERFACE(iid, obj, Vst::IComponentHandler::iid, Vst::IComponentHandler)
  if (dirtyOffered) {
    QUERY_INTERFACE(iid, obj, Vst::IComponentHandler2::iid, Vst::IComponentHandler2)
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult PLUGIN_API RecordingComponentHandler::beginEdit(Vst::ParamID) {
  ++editCalls;
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::performEdit(Vst::ParamID, Vst::ParamValue) {
  ++editCalls;
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::endEdit(Vst::ParamID) {
  ++editCalls;
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::restartComponent(int32 flags) {
  restartFlags = flags;
  ++restartCalls;
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::setDirty(TBool state) {
  dirtyValue = state != 0;
  ++dirtyCalls;
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::requestOpenEditor(FIDString) {
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::startGroupEdit() {
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::finishGroupEdit() {
  return kResultOk;
}

}  // namespace kelo::host
