#include "Webview.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>

#include "CallScripts.h"

namespace webhost {

namespace {

constexpr char kIdKey[] = "id";
constexpr char kMethodKey[] = "method";
constexpr char kParamsKey[] = "params";

// The page's calls are at most three levels deep (call, arguments, state);
// anything far deeper is refused while it is read, before a tree of it
// exists to be copied or destroyed recursively.
constexpr int kMaxCallDepth = 32;

// Two's complement narrowing, spelled out because a plain cast of an
// out-of-range value to int is implementation-defined before C++20.
int LowBitsAsInt(std::uint64_t value) {
  const auto low = static_cast<std::uint32_t>(value);
  if (low <= static_cast<std::uint32_t>(INT32_MAX)) return static_cast<int>(low);
  return static_cast<int>(static_cast<std::int64_t>(low) - (std::int64_t{1} << 32));
}

// The call's sequence number from its "id", or nothing when the id is not
// usable. Integers keep their low 32 bits, booleans become 1 and 0, and
// floating-point values are truncated toward zero. A floating-point value
// whose truncation lies outside the 32-bit range is not usable: the page only
// ever sends small positive integers, so such an id names no pending call and
// answering any clamped or wrapped number could settle a different one.
std::optional<int> CallSequence(const json& id) {
  if (id.is_boolean()) return id.get<bool>() ? 1 : 0;
  if (id.is_number_unsigned()) return LowBitsAsInt(id.get<std::uint64_t>());
  if (id.is_number_integer()) return LowBitsAsInt(static_cast<std::uint64_t>(id.get<std::int64_t>()));
  if (id.is_number_float()) {
    const double truncated = std::trunc(id.get<double>());
    if (truncated >= static_cast<double>(INT32_MIN) && truncated <= static_cast<double>(INT32_MAX))
      return static_cast<int>(truncated);
  }
  return std::nullopt;
}

// The number of a call whose message does not parse, read from the form the
// page's stub writes ({"id":N,...}), so that the call can still be refused
// instead of leaving the page waiting for ever.
std::optional<int> LeadingCallId(const std::string& message) {
  const auto skip = [&](std::size_t at) {
    while (at < message.size() &&
           (message[at] == ' ' || message[at] == '\t' || message[at] == '\n' || message[at] == '\r'))
      ++at;
    return at;
  };
  static constexpr char kPrefix[] = "\"id\"";
  std::size_t at = skip(0);
  if (at >= message.size() || message[at] != '{') return std::nullopt;
  at = skip(at + 1);
  if (message.compare(at, sizeof kPrefix - 1, kPrefix) != 0) return std::nullopt;
  at = skip(at + sizeof kPrefix - 1);
  if (at >= message.size() || message[at] != ':') return std::nullopt;
  at = skip(at + 1);
  const std::size_t start = at;
  if (at < message.size() && message[at] == '-') ++at;
  const std::size_t digits = at;
  while (at < message.size() && message[at] >= '0' && message[at] <= '9' && at - digits < 10) ++at;
  if (at == digits) return std::nullopt;
  const std::size_t end = skip(at);
  if (end >= message.size() || (message[end] != ',' && message[end] != '}')) return std::nullopt;
  return CallSequence(json::parse(message.substr(start, at - start), nullptr, false));
}

json ParseCall(const std::string& message) {
  return json::parse(message, [](int depth, json::parse_event_t event, json&) {
    const bool opens = event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
    if (opens && depth >= kMaxCallDepth) throw std::invalid_argument("call message nested too deeply");
    return true;
  });
}

}  // namespace

Webview::~Webview() = default;

bool Webview::BindFunction(const std::string& name, BoundFunction fn) {
  if (!IsBindableName(name)) return false;
  AddInitScript(MakeStubScript(name));
  bindings[name] = std::move(fn);
  return true;
}

void Webview::UnbindFunction(const std::string& name) {
  const auto found = bindings.find(name);
  if (found == bindings.end()) return;
  const std::string script = MakeUnbindScript(name);
  AddInitScript(script);
  EvalJS(script, [](const json&) {});
  bindings.erase(found);
}

void Webview::OnBrowserMessage(const std::string& message) noexcept {
  int seq = -1;
  // The bound function may end up removing this web view (a host that
  // pumps messages inside a shell call can close the editor); once it has,
  // nothing of it may be touched.
  const std::weak_ptr<void> stillAlive = lifetime;
  try {
    json call;
    try {
      call = ParseCall(message);
    } catch (...) {
      seq = LeadingCallId(message).value_or(-1);
      throw;
    }
    if (!call.is_object()) throw std::invalid_argument("call message is not an object");
    const std::optional<int> id = CallSequence(call.at(kIdKey));
    if (!id) throw std::invalid_argument("call id is not usable");
    seq = *id;

    const json method = call.contains(kMethodKey) ? call[kMethodKey] : json();
    const std::string name = method.get<std::string>();
    const json params = call.contains(kParamsKey) ? call[kParamsKey] : json();

    const auto found = bindings.find(name);
    if (found == bindings.end()) return;  // an unknown name is left unanswered
    // A copy, so that a function that rebinds or unbinds its own name while
    // it runs does not destroy itself.
    const BoundFunction fn = found->second;
    const json result = fn(this, seq, name, params);
    if (stillAlive.expired()) return;
    ResolveFunctionDispatch(seq, 0, result);
  } catch (...) {
    if (seq < 0 || stillAlive.expired()) return;
    try {
      ResolveFunctionDispatch(seq, 1, json(kInvalidNativeRequest));
    } catch (...) {
      // Only the embedding's Dispatch or EvalJS can get here; the page's
      // Promise stays pending rather than an exception reaching the browser.
    }
  }
}

void Webview::ResolveFunctionDispatch(int seq, int status, const json& result) {
  // The script is built here rather than inside the dispatched closure, so
  // that a result that cannot be written fails in OnBrowserMessage (and is
  // rejected) even where Dispatch runs its function later.
  std::string script = MakeSettlingScript(seq, status, result);
  // The closure needs the web view; the embedding runs it while the web view
  // is alive (this system's browser runs it in place).
  Dispatch([this, script = std::move(script)] { EvalJS(script, [](const json&) {}); });
}

}  // namespace webhost
