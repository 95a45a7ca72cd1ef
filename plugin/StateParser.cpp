#include "StateParser.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelo {

namespace {

bool isKnownKey(const std::string& name) {
  static const std::string_view kKnown[] = {key::kScript,    key::kBars,        key::kTimerTicks,
                                            key::kTimerUnit, key::kBarsPerLine, key::kDisplayMode,
                                            key::kLanguage,  key::kAutoFill,    key::kNextLine};
  for (std::string_view known : kKnown)
    if (name.size() == known.size() && name == known) return true;
  return false;
}

// Builds the reduced document normalizeState needs, with the JSON library's
// own meaning for every kept value (the last of repeated keys wins).
// Containers nobody reads are walked but never built.
class ReducedDocument : public nlohmann::json_sax<json> {
 public:
  json root = json::object();

  bool null() override {
    return put([] { return json(); });
  }
  bool boolean(bool value) override {
    return put([value] { return json(value); });
  }
  bool number_integer(number_integer_t value) override {
    return put([value] { return json(value); });
  }
  bool number_unsigned(number_unsigned_t value) override {
    return put([value] { return json(value); });
  }
  bool number_float(number_float_t value, const string_t&) override {
    return put([value] { return json(value); });
  }
  bool string(string_t& value) override {
    return put([&value] { return json(std::move(value)); });
  }
  bool binary(binary_t&) override {
    return put([] { return json(); });
  }
  bool start_object(std::size_t) override { return open(false); }
  bool start_array(std::size_t) override { return open(true); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
  bool key(string_t& name) override {
    if (!roles.empty() && (roles.back() == Role::root || roles.back() == Role::piece)) currentKey.swap(name);
    return true;
  }

 private:
  enum class Role { skip, root, bars, bar, piece };

  Role parent() const { return roles.empty() ? Role::skip : roles.back(); }

  json& bars() { return root[key::kBars]; }

  // A "bars" entry; past the limit the whole array becomes a value
  // normalizeState refuses as it would the long array.
  void addBar(json entry) {
    if (barsOverflowed) return;
    if (++barCount > kMaxLegacyBars) {
      barsOverflowed = true;
      bars() = "more bars than allowed";
      return;
    }
    bars().push_back(std::move(entry));
  }

  // `make` builds the value only where it is kept: most values of a
  // hostile text are not, and building each would cost an allocation.
  template <class Make>
  bool put(Make make) {
    if (roles.empty() && !started) root = make();
    switch (parent()) {
      case Role::root:
        if (isKnownKey(currentKey)) root[currentKey] = make();
        break;
      case Role::bars:
        addBar(json());
        break;
      case Role::piece:
        if (currentKey == key::kText) {
          json value = make();
          pieceHasText = value.is_string();
          if (pieceHasText) pieceText.swap(value.get_ref<std::string&>());
        }
        break;
      default:
        break;
    }
    started = true;
    return true;
  }

  bool open(bool array) {
    if (roles.size() >= kMaxStateDepth) return false;
    Role role = Role::skip;
    const auto placeholder = [array] { return array ? json::array() : json::object(); };
    switch (parent()) {
      case Role::skip:
        // A document is an object; anything else is refused unread.
        if (!started && array) return false;
        if (!started) role = Role::root;
        break;
      case Role::root:
        if (array && currentKey == key::kBars) {
          bars() = json::array();
          barCount = 0;
          barsOverflowed = false;
          role = Role::bars;
        } else if (isKnownKey(currentKey))
          root[currentKey] = placeholder();
        break;
      case Role::bars:
        if (array) {
          line.clear();
          role = Role::bar;
        } else
          addBar(json());
        break;
      case Role::bar:
        if (!array) {
          pieceHasText = false;
          role = Role::piece;
        }
        break;
      case Role::piece:
        if (currentKey == key::kText) pieceHasText = false;
        break;
    }
    started = true;
    roles.push_back(role);
    return true;
  }

  bool close() {
    const Role role = roles.back();
    roles.pop_back();
    if (role == Role::piece && pieceHasText)
      appendLegacyPiece(line, pieceText);
    else if (role == Role::bar)
      addBar(line.empty() ? json::array() : json::array({json::object({{key::kText, line}})}));
    return true;
  }

  std::vector<Role> roles;
  bool started = false;
  std::string currentKey;
  std::size_t barCount = 0;
  bool barsOverflowed = false;
  std::string line;
  std::string pieceText;
  bool pieceHasText = false;
};

}  // namespace

json parseStateText(const char* text, std::size_t size) {
  // The JSON library reads a NUL as the end of the text, so whatever
  // follows one would be accepted unseen. No saved state holds one.
  if (size > 0 && std::memchr(text, 0, size) != nullptr) throw std::invalid_argument("State holds a NUL byte");
  ReducedDocument document;
  if (!json::sax_parse(text, text + size, &document, json::input_format_t::json, true, false))
    throw std::invalid_argument("State is not one readable JSON value");
  return normalizeState(document.root);
}

}  // namespace kelo
