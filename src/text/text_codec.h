// Text as the program, the emulator and the tools exchange it: UTF-8 inside, UTF-16LE where
// the HID class library and Windows speak it, and the systems' own error texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dalvorn {

inline constexpr char32_t ReplacementCharacter = 0xFFFD;

// Appends code point `cp` to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes the code point of `utf8` at `i` and moves `i` past it; a malformed sequence gives
// U+FFFD and moves one byte.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& i);

// UTF-16LE bytes as UTF-8: up to the first zero code unit or the end of `size` bytes (an odd
// last byte is ignored); a pair cut at the end is dropped, lone surrogates become U+FFFD.
std::string Utf8FromUtf16Le(const std::uint8_t* bytes, std::size_t size);

// UTF-8 as UTF-16 code units; malformed UTF-8 becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view utf8);

// UTF-8 as UTF-16LE bytes followed by a zero unit.
std::vector<std::uint8_t> Utf16LeWithTerminator(std::string_view utf8);

// UTF-8 as UTF-16LE code units followed by a zero unit, cut to `bufferBytes` bytes (whole
// units only; a cut string has no terminator). Returns the number of bytes written.
std::size_t WriteUtf16Le(std::string_view utf8, void* buffer, std::size_t bufferBytes);

// Whether `utf8` is well-formed UTF-8 throughout (no malformed, overlong or surrogate sequence).
bool IsValidUtf8(std::string_view utf8);

// Wide text (UTF-16 on Windows) and UTF-8, both ways, up to the first zero unit of the wide
// text; malformed input becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// A system's message text without the line breaks, spaces and dots it ends with:
// "Access is denied.\r\n" -> "Access is denied".
std::string TrimSystemText(std::string_view text);

// A number with its thousands apart: 16777216 -> "16,777,216".
std::string WithThousands(std::uint64_t value);

#ifndef _WIN32
// The name and text of an errno value: "EACCES: Permission denied" ("errno N" for a value the C
// library does not know).
std::string ErrnoText(int error);
#else
// The system's text for a Windows error code, in UTF-8 and trimmed: "GetLastError 5: Access is
// denied"; only the number when the system has no text for it.
std::string WindowsErrorText(std::uint32_t code);
#endif

}  // namespace dalvorn
