#include "Attribute.h"

#include <utility>

namespace kelo::host {

bool Attribute::operator==(const Attribute& other) const {
  if (name != other.name || kind != other.kind) return false;
  switch (kind) {
    case Kind::kInt:
      return intValue == other.intValue;
    case Kind::kFloat:
      return floatValue == other.floatValue;
    case Kind::kString:
      return stringValue == other.stringValue;
    case Kind::kBinary:
      return binaryValue == other.binaryValue;
  }
  return false;
}

Attribute intAttribute(std::string name, Steinberg::int64 value) {
  Attribute attribute;
  attribute.name = std::move(name);
  attribute.kind = Attribute::Kind::kInt;
  attribute.intValue = value;
  return attribute;
}

Attribute floatAttribute(std::string name, double value) {
  Attribute attribute;
  attribute.name = std::move(name);
  attribute.kind = Attribute::Kind::kFloat;
  attribute.floatValue = value;
  return attribute;
}

Attribute stringAttribute(std::string name, std::u16string value) {
  Attribute attribute;
  attribute.name = std::move(name);
  attribute.kind = Attribute::Kind::kString;
  attribute.stringValue = std::move(value);
  return attribute;
}

Attribute binaryAttribute(std::string name, std::string bytes) {
  Attribute attribute;
  attribute.name = std::move(name);
  attribute.kind = Attribute::Kind::kBinary;
  attribute.binaryValue = std::move(bytes);
  return attribute;
}

}  // namespace kelo::host
