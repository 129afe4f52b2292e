#include "text/mo_catalogue.h"

#include <cstdint>
#include <cstring>

namespace dalvorn {
namespace {

constexpr std::uint32_t Magic = 0x950412deu;
constexpr std::uint32_t SwappedMagic = 0xde120495u;
constexpr std::size_t HeaderBytes = 20;  // magic, revision, count, two table offsets

class MoReader {
 public:
  MoReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool Word(std::size_t at, std::uint32_t& value) const {
    if (at > size_ || size_ - at < 4) return false;
    std::uint32_t v = 0;
    std::memcpy(&v, data_ + at, 4);
    value = swapped_ ? __builtin_bswap32(v) : v;
    return true;
  }

  bool Start() {
    std::uint32_t magic = 0;
    if (!Word(0, magic)) return false;
    if (magic == SwappedMagic) swapped_ = true;
    return magic == Magic || magic == SwappedMagic;
  }

  // String `index` of the table at `table`: `length` bytes at its offset, then a zero byte.
  bool String(std::uint32_t table, std::uint32_t index, std::string_view& text) const {
    const std::uint64_t at = std::uint64_t{table} + std::uint64_t{index} * 8;
    std::uint32_t length = 0, offset = 0;
    if (at > size_ || !Word(static_cast<std::size_t>(at), length) ||
        !Word(static_cast<std::size_t>(at) + 4, offset)) {
      return false;
    }
    if (offset >= size_ || size_ - offset <= length || data_[offset + length] != 0) return false;
    text = std::string_view(reinterpret_cast<const char*>(data_ + offset), length);
    return true;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  bool swapped_ = false;
};

}  // namespace

bool MoCatalogue::Read(const unsigned char* data, std::size_t size) {
  entries_.clear();
  MoReader reader(data, size);
  std::uint32_t revision = 0, count = 0, originals = 0, translations = 0;
  if (size < HeaderBytes || !reader.Start() || !reader.Word(4, revision) ||
      !reader.Word(8, count) || !reader.Word(12, originals) || !reader.Word(16, translations)) {
    return false;
  }
  if ((revision >> 16) > 1) return false;  // a major revision this reader does not know
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string_view original, translation;
    if (!reader.String(originals, i, original) || !reader.String(translations, i, translation)) {
      entries_.clear();
      return false;
    }
    // A text with plural forms is looked up by its singular, the part before the zero byte.
    original = original.substr(0, original.find('\0'));
    if (!original.empty() && !translation.empty()) entries_.emplace(original, translation);
  }
  return true;
}

std::optional<std::string_view> MoCatalogue::Find(std::string_view key) const {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string_view> MoCatalogue::Form(std::string_view translation, std::size_t index) {
  for (std::size_t i = 0;; ++i) {
    const std::size_t end = translation.find('\0');
    if (i == index) {
      const std::string_view form = translation.substr(0, end);
      if (form.empty()) return std::nullopt;
      return form;
    }
    if (end == std::string_view::npos) return std::nullopt;
    translation.remove_prefix(end + 1);
  }
}

}  // namespace dalvorn
