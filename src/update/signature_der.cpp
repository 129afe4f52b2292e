#include "update/signature_der.h"

#include <algorithm>

namespace dalvorn {
namespace {

constexpr std::uint8_t SequenceTag = 0x30;
constexpr std::uint8_t IntegerTag = 0x02;
constexpr std::size_t ScalarBytes = 32;

// One INTEGER at `data[at]`, right-aligned into `out` (ScalarBytes wide); `at` moves past it.
// Every length here is below 128, so only the short length form is minimal.
bool ReadScalar(const std::uint8_t* data, std::size_t end, std::size_t& at, std::uint8_t* out) {
  if (end - at < 2 || data[at] != IntegerTag) return false;
  std::size_t length = data[at + 1];
  at += 2;
  if (length == 0 || length > end - at) return false;
  const std::uint8_t* value = data + at;
  at += length;
  if ((value[0] & 0x80) != 0) return false;  // negative
  if (value[0] == 0x00) {
    // A leading zero is allowed only to keep a top bit from reading as a sign (this also
    // refuses the value zero itself, 02 01 00).
    if (length < 2 || (value[1] & 0x80) == 0) return false;
    ++value;
    --length;
  }
  if (length > ScalarBytes) return false;
  std::fill(out, out + ScalarBytes - length, std::uint8_t{0});
  std::copy(value, value + length, out + ScalarBytes - length);
  return true;
}

}  // namespace

bool ParseDerSignature(const std::uint8_t* data, std::size_t size, RawSignature& raw) {
  if (data == nullptr || size < 2 || size > MaxDerSignatureBytes) return false;
  if (data[0] != SequenceTag || (data[1] & 0x80) != 0) return false;
  // The SEQUENCE fills the input exactly: nothing is cut off and nothing follows it.
  if (data[1] != size - 2) return false;
  std::size_t at = 2;
  if (!ReadScalar(data, size, at, raw.data())) return false;
  if (!ReadScalar(data, size, at, raw.data() + ScalarBytes)) return false;
  return at == size;
}

}  // namespace dalvorn
