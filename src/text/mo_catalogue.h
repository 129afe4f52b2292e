// A gettext catalogue in the binary form msgfmt writes (a .mo file), read from memory.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace dalvorn {

class MoCatalogue {
 public:
  // Reads the catalogue in `data`, which must outlive it. False, leaving it empty, when the
  // bytes are not a well-formed .mo file (a bad magic number or revision, a table or string
  // outside the bytes, a string without its terminating zero).
  bool Read(const unsigned char* data, std::size_t size);

  // The translation of `key` (the English text; for a text with a context, the context, the
  // byte 4 and the text), with its plural forms separated by zero bytes; none when the
  // catalogue has no translation for it.
  std::optional<std::string_view> Find(std::string_view key) const;

  // Form `index` of a translation that Find returned; none when it has no such form.
  static std::optional<std::string_view> Form(std::string_view translation, std::size_t index);

 private:
  std::unordered_map<std::string_view, std::string_view> entries_;
};

}  // namespace dalvorn
