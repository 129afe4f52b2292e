#include "text/text_codec.h"

#include <algorithm>
#include <cstring>

namespace dalvorn {
namespace {

bool IsHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// Calls `put` with the UTF-16 code units of `utf8`.
template <class Put>
void EachUtf16Unit(std::string_view utf8, Put put) {
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t cp = DecodeUtf8(utf8, i);
    if (cp >= 0x10000) {
      put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      put(static_cast<char16_t>(cp));
    }
  }
}

// UTF-8 from code units read by `unit(i)` for i below `count`, up to the first zero unit.
template <class Unit>
std::string Utf8FromUnits(std::size_t count, Unit unit) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t u = unit(i);
    if (u == 0) break;
    if (IsHighSurrogate(u)) {
      const char32_t next = i + 1 < count ? unit(i + 1) : 0;
      if (IsLowSurrogate(next)) {
        AppendUtf8(text, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
        ++i;
      } else if (next == 0) {
        break;  // the text was cut inside a pair: drop the half
      } else {
        AppendUtf8(text, ReplacementCharacter);
      }
    } else if (IsLowSurrogate(u)) {
      AppendUtf8(text, ReplacementCharacter);
    } else {
      AppendUtf8(text, u);
    }
  }
  return text;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return ReplacementCharacter;
  }
  if (s.size() - i < length) {
    ++i;
    return ReplacementCharacter;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return ReplacementCharacter;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return ReplacementCharacter;
  }
  i += length;
  return cp;
}

std::string Utf8FromUtf16Le(const std::uint8_t* bytes, std::size_t size) {
  return Utf8FromUnits(size / 2, [bytes](std::size_t i) {
    return static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  });
}

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string units;
  EachUtf16Unit(utf8, [&units](char16_t u) { units.push_back(u); });
  return units;
}

std::vector<std::uint8_t> Utf16LeWithTerminator(std::string_view utf8) {
  std::vector<std::uint8_t> bytes;
  const auto put = [&bytes](char16_t u) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  EachUtf16Unit(utf8, put);
  put(0);
  return bytes;
}

std::size_t WriteUtf16Le(std::string_view utf8, void* buffer, std::size_t bufferBytes) {
  const std::vector<std::uint8_t> bytes = Utf16LeWithTerminator(utf8);
  const std::size_t count = std::min(bytes.size(), bufferBytes / 2 * 2);
  auto* out = static_cast<std::uint8_t*>(buffer);
  for (std::size_t k = 0; k < count; ++k) out[k] = bytes[k];
  return count;
}

bool IsValidUtf8(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t at = i;
    // U+FFFD itself is well-formed; anything else decoded as it was not.
    if (DecodeUtf8(utf8, i) == ReplacementCharacter && utf8.substr(at, i - at) != "\xEF\xBF\xBD") {
      return false;
    }
  }
  return true;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring wide;
  if constexpr (sizeof(wchar_t) == 2) {
    EachUtf16Unit(utf8, [&wide](char16_t u) { wide.push_back(static_cast<wchar_t>(u)); });
  } else {
    for (std::size_t i = 0; i < utf8.size();)
      wide.push_back(static_cast<wchar_t>(DecodeUtf8(utf8, i)));
  }
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
  if constexpr (sizeof(wchar_t) == 2) {
    return Utf8FromUnits(wide.size(), [wide](std::size_t i) {
      return static_cast<char32_t>(static_cast<char16_t>(wide[i]));
    });
  } else {
    std::string text;
    for (const wchar_t c : wide) {
      const auto cp = static_cast<char32_t>(c);
      if (cp == 0) break;
      AppendUtf8(text, cp > 0x10FFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp)
                           ? ReplacementCharacter
                           : cp);
    }
    return text;
  }
}

std::string TrimSystemText(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 &&
         (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' || text[n - 1] == '.')) {
    --n;
  }
  return std::string(text.substr(0, n));
}

std::string WithThousands(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(digits[i]);
  }
  return text;
}

#ifndef _WIN32
std::string ErrnoText(int error) {
#ifdef __GLIBC__
  // The C library's own words, the same whatever the locale and from any thread.
  const char* name = strerrorname_np(error);
  const char* text = strerrordesc_np(error);
  if (name != nullptr && text != nullptr) return std::string(name) + ": " + text;
#endif
  return "errno " + std::to_string(error);
}
#endif

}  // namespace dalvorn
