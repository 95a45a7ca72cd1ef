// UTF-8 <-> wide text with the Win32 conversion functions' contract: lengths
// in units, -1 meaning "up to and including the terminator", a size query
// when the output size is 0, U+FFFD for invalid input unless the caller asks
// for an error. A wide unit holds one code point on Linux; a surrogate pair
// stored in two units (text built the UTF-16 way) is still read as one.
#include <windows.h>

#include <cstddef>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// Decodes one UTF-8 sequence at `in` (at most `left` bytes). Returns the
// number of bytes consumed, always at least 1; `valid` tells whether they
// formed a well-formed sequence. An invalid sequence consumes its maximal
// valid prefix, so each such subpart becomes one replacement character.
std::size_t DecodeUtf8(const unsigned char* in, std::size_t left, char32_t& out, bool& valid) {
  const unsigned char lead = in[0];
  valid = false;
  out = kReplacement;
  if (lead < 0x80) {
    out = lead;
    valid = true;
    return 1;
  }
  std::size_t length = 0;
  char32_t value = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 1;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = i < left ? in[i] : 0;
    const unsigned char from = i == 1 ? low : 0x80;
    const unsigned char to = i == 1 ? high : 0xBF;
    if (i >= left || next < from || next > to) {
      return i;
    }
    value = (value << 6) | (next & 0x3F);
  }
  out = value;
  valid = true;
  return length;
}

std::size_t EncodeUtf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

bool KnownCodePage(UINT codePage) {
  return codePage == CP_UTF8 || codePage == CP_ACP;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

extern "C" {

// CP_ACP is taken as UTF-8, the Linux locale's encoding.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                               int wideCount) {
  if (!KnownCodePage(codePage)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if ((flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) {
    return Fail(ERROR_INVALID_FLAGS);
  }
  if (multiByte == nullptr || multiByteCount == 0 || multiByteCount < -1 || wideCount < 0 ||
      (wide == nullptr && wideCount != 0) ||
      (wide != nullptr && static_cast<const void*>(wide) == static_cast<const void*>(multiByte))) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t inLength =
      multiByteCount == -1 ? std::char_traits<char>::length(multiByte) + 1 : static_cast<std::size_t>(multiByteCount);
  const auto* in = reinterpret_cast<const unsigned char*>(multiByte);
  const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
  std::size_t produced = 0;
  for (std::size_t pos = 0; pos < inLength;) {
    char32_t c = 0;
    bool valid = false;
    pos += DecodeUtf8(in + pos, inLength - pos, c, valid);
    if (!valid && strict) {
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    if (wideCount != 0) {
      if (produced >= static_cast<std::size_t>(wideCount)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
      }
      wide[produced] = static_cast<wchar_t>(c);
    }
    ++produced;
  }
  return static_cast<int>(produced);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multiByte,
                               int multiByteCount, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!KnownCodePage(codePage)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if ((flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) {
    return Fail(ERROR_INVALID_FLAGS);
  }
  // UTF-8 can encode everything valid, so a default character makes no sense.
  if (defaultChar != nullptr || usedDefaultChar != nullptr) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (wide == nullptr || wideCount == 0 || wideCount < -1 || multiByteCount < 0 ||
      (multiByte == nullptr && multiByteCount != 0) ||
      (multiByte != nullptr && static_cast<const void*>(wide) == static_cast<const void*>(multiByte))) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::size_t inLength =
      wideCount == -1 ? std::char_traits<wchar_t>::length(wide) + 1 : static_cast<std::size_t>(wideCount);
  const bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
  std::size_t produced = 0;
  for (std::size_t pos = 0; pos < inLength; ++pos) {
    char32_t c = static_cast<char32_t>(wide[pos]);
    if (c >= 0xD800 && c <= 0xDBFF && pos + 1 < inLength) {
      const char32_t next = static_cast<char32_t>(wide[pos + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        ++pos;
      }
    }
    if (IsSurrogate(c) || c > 0x10FFFF) {
      if (strict) {
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
      }
      c = kReplacement;
    }
    char bytes[4];
    const std::size_t length = EncodeUtf8(c, bytes);
    if (multiByteCount != 0) {
      if (produced + length > static_cast<std::size_t>(multiByteCount)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
      }
      for (std::size_t i = 0; i < length; ++i) {
        multiByte[produced + i] = bytes[i];
      }
    }
    produced += length;
  }
  return static_cast<int>(produced);
}

}  // extern "C"

namespace standin {

std::wstring WideFromUtf8(const char* text) {
  if (text == nullptr || text[0] == '\0') return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  wide.pop_back();
  return wide;
}

std::string Utf8FromWide(LPCWSTR text) {
  if (text == nullptr || text[0] == L'\0') return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
  narrow.pop_back();
  return narrow;
}

}  // namespace standin
