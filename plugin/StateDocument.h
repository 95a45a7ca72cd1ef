// The StateDocument: the lyrics script and the display settings, kept as one
// JSON object (keys in byte order) from the host's project to the page.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace kelo {

using json = nlohmann::json;

inline constexpr int kStateVersion = 2;
// Bounds the compact text of any document: a saved state, a "KeloState"
// payload, a document the page writes.
inline constexpr std::size_t kMaxStateBytes = 8388608;
inline constexpr std::size_t kMaxLegacyBars = 10000;

namespace key {
inline constexpr char kVersion[] = "version";
inline constexpr char kScript[] = "script";
inline constexpr char kBars[] = "bars";
inline constexpr char kText[] = "text";
inline constexpr char kTimerTicks[] = "timerTicks";
inline constexpr char kTimerUnit[] = "timerUnit";
inline constexpr char kBarsPerLine[] = "barsPerLine";
inline constexpr char kDisplayMode[] = "displayMode";
inline constexpr char kAutoFill[] = "autoFill";
inline constexpr char kLanguage[] = "language";
inline constexpr char kNextLine[] = "nextLine";
}  // namespace key

// A new document holding every default.
json makeDefaultState();

// Checks, migrates and clamps any incoming document into a complete one.
// Throws std::invalid_argument ("State must be an object", "Invalid legacy
// bars", "State too large") or the JSON library's type errors (302, 316).
json normalizeState(const json& input);

// Adds one text piece of the legacy "bars" form to its bar's line: trimmed of
// spaces, tabs and line breaks at both ends, separated by one space, nothing
// when blank.
void appendLegacyPiece(std::string& line, const std::string& text);

// The one text form of a document: compact, raw UTF-8, strict about invalid
// UTF-8 (throws the JSON library's type error 316).
std::string stateText(const json& document);

}  // namespace kelo
