#pragma once

#include "Attribute.h"

#include "pluginterfaces/vst/ivstattributes.h"

#include <map>
#include <string>

namespace kelo::host {

/// The host's attribute list: typed entries that a getter of another type
/// does not see (getInt on a float attribute answers kResultFalse), so a
/// plug-in that writes one type and reads another fails in the tests as it
/// would in a strict host. Created with a reference count of 1.
class AttributeList : public Steinberg::Vst::IAttributeList {
 public:
  /// queryInterface with this IID hands out the AttributeList itself (with a
  /// reference), so that recorders can copy every entry out.
  static const Steinberg::TUID kClassIID;

  AttributeList();
  virtual ~AttributeList();

  /// Adds or replaces an entry.
  void set(const Attribute& attribute);
  /// Every entry, keyed by attribute ID.
  const std::map<std::string, Attribute>& entries() const { return attributes; }

  //--- IAttributeList
  Steinberg::tresult PLUGIN_API setInt(AttrID id, Steinberg::int64 value) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getInt(AttrID id, Steinberg::int64& value) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setFloat(AttrID id, double value) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getFloat(AttrID id, double& value) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setString(AttrID id, const Steinberg::Vst::TChar* string) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getString(AttrID id, Steinberg::Vst::TChar* string,
                                          Steinberg::uint32 sizeInBytes) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setBinary(AttrID id, const void* data, Steinberg::uint32 sizeInBytes) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getBinary(AttrID id, const void*& data, Steinberg::uint32& sizeInBytes) SMTG_OVERRIDE;

  DECLARE_FUNKNOWN_METHODS

 private:
  const Attribute* find(AttrID id, Attribute::Kind kind) const;

  std::map<std::string, Attribute> attributes;
};

/// The AttributeList behind `list` when the test host made it, else null.
/// No reference is kept.
AttributeList* asHostAttributeList(Steinberg::Vst::IAttributeList* list);

}  // namespace kelo::host
