#pragma once

#include "pluginterfaces/base/ftypes.h"

#include <string>

namespace kelo::host {

/// One typed attribute of a VST 3 message, in the form tests write and read.
/// Only the field that matches `kind` carries meaning.
struct Attribute {
  enum class Kind { kInt, kFloat, kString, kBinary };

  std::string name;
  Kind kind = Kind::kInt;
  Steinberg::int64 intValue = 0;
  double floatValue = 0.0;
  std::u16string stringValue;  ///< UTF-16 text without its terminating zero
  std::string binaryValue;     ///< raw bytes, may hold zeros

  bool operator==(const Attribute& other) const;
  bool operator!=(const Attribute& other) const { return !(*this == other); }
};

Attribute intAttribute(std::string name, Steinberg::int64 value);
Attribute floatAttribute(std::string name, double value);
Attribute stringAttribute(std::string name, std::u16string value);
Attribute binaryAttribute(std::string name, std::string bytes);

}  // namespace kelo::host
