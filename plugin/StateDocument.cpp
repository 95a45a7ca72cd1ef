#include "StateDocument.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace kelo {

namespace {

struct IntegerSetting {
  const char* name;
  int lowest;
  int highest;
  int fallback;
};

// In the order normalizeState checks them.
constexpr IntegerSetting kIntegerSettings[] = {
    {key::kTimerTicks, 1, 256, 1}, {key::kTimerUnit, 0, 3, 2}, {key::kBarsPerLine, 1, 16, 2},
    {key::kDisplayMode, 0, 1, 0},  {key::kLanguage, 0, 5, 0},
};

constexpr bool kDefaultAutoFill = true;
// On for every document saved before the setting existed.
constexpr bool kDefaultNextLine = true;

// Floating-point values beyond the 32-bit range saturate instead of being
// undefined behaviour; NaN (never produced by the parser) counts as 0.
std::int32_t truncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Booleans count as 1 and 0; integers keep their low 32 bits, as the JSON
// library's conversion to int does; anything else raises the library's own
// "type must be number" error.
std::int32_t toInt32(const json& value) {
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_float()) return truncateToInt32(value.get<double>());
  if (value.is_number_unsigned())
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.get<std::uint64_t>()));
  if (value.is_number_integer())
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.get<std::int64_t>()));
  return value.get<int>();
}

// The older saved form: one entry per bar, each an array of {"text": ...}
// pieces. Bars without text still use up their number.
std::string scriptFromLegacyBars(const json& bars) {
  if (!bars.is_array() || bars.size() > kMaxLegacyBars) throw std::invalid_argument("Invalid legacy bars");
  std::string script;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const json& bar = bars[i];
    std::string line;
    if (bar.is_array()) {
      for (const json& piece : bar) {
        if (!piece.is_object()) continue;
        auto text = piece.find(key::kText);
        if (text == piece.end() || !text->is_string()) continue;
        appendLegacyPiece(line, text->get_ref<const std::string&>());
      }
    }
    if (line.empty()) continue;
    script += '[';
    script += std::to_string(i + 1);
    script += "] ";
    script += line;
    script += '\n';
  }
  return script;
}

}  // namespace

void appendLegacyPiece(std::string& line, const std::string& text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  if (begin == end) return;
  if (!line.empty()) line += ' ';
  line.append(text, begin, end - begin);
}

json makeDefaultState() {
  json state = json::object();
  state[key::kAutoFill] = kDefaultAutoFill;
  state[key::kNextLine] = kDefaultNextLine;
  for (const auto& setting : kIntegerSettings) state[setting.name] = setting.fallback;
  state[key::kScript] = "";
  state[key::kVersion] = kStateVersion;
  return state;
}

json normalizeState(const json& input) {
  if (!input.is_object()) throw std::invalid_argument("State must be an object");

  json result = makeDefaultState();

  auto script = input.find(key::kScript);
  if (script != input.end())
    result[key::kScript] = script->get<std::string>();
  else if (auto bars = input.find(key::kBars); bars != input.end())
    result[key::kScript] = scriptFromLegacyBars(*bars);

  for (const auto& setting : kIntegerSettings) {
    auto value = input.find(setting.name);
    if (value == input.end()) continue;
    std::int32_t number = toInt32(*value);
    if (number < setting.lowest) number = setting.lowest;
    if (number > setting.highest) number = setting.highest;
    result[setting.name] = static_cast<std::int64_t>(number);
  }

  auto autoFill = input.find(key::kAutoFill);
  if (autoFill != input.end()) result[key::kAutoFill] = autoFill->get<bool>();

  // A number counts as on unless it is zero; any other type raises the
  // library's "type must be boolean" error.
  auto nextLine = input.find(key::kNextLine);
  if (nextLine != input.end())
    result[key::kNextLine] = nextLine->is_number() ? nextLine->get<double>() != 0.0 : nextLine->get<bool>();

  if (stateText(result).size() > kMaxStateBytes) throw std::invalid_argument("State too large");
  return result;
}

std::string stateText(const json& document) {
  return document.dump(-1, ' ', false, json::error_handler_t::strict);
}

}  // namespace kelo
