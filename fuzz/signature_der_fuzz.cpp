// libFuzzer target for the readers of the maker's signature and key: any input must be taken or
// refused cleanly, without reading outside it. A signature taken must be the one minimal DER
// form of its r and s (so the verifiers on every system see the same signatures), and a key
// taken must be an uncompressed point.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/signature_der.h"
#include "update/signature_pem.h"

namespace {

// The DER of one INTEGER holding the 32 big-endian bytes at `value`, in its shortest form.
void AppendInteger(std::vector<std::uint8_t>& out, const std::uint8_t* value) {
  std::size_t skip = 0;
  while (skip < 31 && value[skip] == 0) ++skip;
  const bool pad = (value[skip] & 0x80) != 0;
  out.push_back(0x02);
  out.push_back(static_cast<std::uint8_t>(32 - skip + (pad ? 1 : 0)));
  if (pad) out.push_back(0x00);
  out.insert(out.end(), value + skip, value + 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dalvorn::RawSignature raw{};
  if (dalvorn::ParseDerSignature(data, size, raw)) {
    std::vector<std::uint8_t> body;
    AppendInteger(body, raw.data());
    AppendInteger(body, raw.data() + 32);
    std::vector<std::uint8_t> der = {0x30, static_cast<std::uint8_t>(body.size())};
    der.insert(der.end(), body.begin(), body.end());
    if (der != std::vector<std::uint8_t>(data, data + size)) __builtin_trap();
  }

  dalvorn::FirmwarePublicKey key;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (dalvorn::ReadPublicKeyPem(text, key, error)) {
    if (key.point[0] != 0x04 || !error.empty()) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
