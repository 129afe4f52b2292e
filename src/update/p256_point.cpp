#include "update/p256_point.h"

#include <cstddef>

namespace dalvorn {
namespace {

// A number below 2^256 in eight 32-bit words, the least significant first.
using Word256 = std::array<std::uint32_t, 8>;

// The field's prime p = 2^256 - 2^224 + 2^192 + 2^96 - 1, and the curve's b.
constexpr Word256 P = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000000,
                       0x00000000, 0x00000000, 0x00000001, 0xFFFFFFFF};
constexpr Word256 B = {0x27D2604B, 0x3BCE3C3E, 0xCC53B0F6, 0x651D06B0,
                       0x769886BC, 0xB3EBBD55, 0xAA3A93E7, 0x5AC635D8};

Word256 FromBigEndian(const std::uint8_t* bytes) {
  Word256 n{};
  for (std::size_t i = 0; i < 32; ++i) {
    n[7 - i / 4] |= static_cast<std::uint32_t>(bytes[i]) << (8 * (3 - i % 4));
  }
  return n;
}

bool Below(const Word256& a, const Word256& b) {
  for (std::size_t i = 8; i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return false;
}

// a - b, dropping the borrow out of the top word.
Word256 Subtract(const Word256& a, const Word256& b) {
  Word256 d{};
  std::uint64_t borrow = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint64_t diff = std::uint64_t{a[i]} - b[i] - borrow;
    d[i] = static_cast<std::uint32_t>(diff);
    borrow = diff >> 63;
  }
  return d;
}

// (a + b) mod p, for a and b below p.
Word256 AddMod(const Word256& a, const Word256& b) {
  Word256 sum{};
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint64_t s = std::uint64_t{a[i]} + b[i] + carry;
    sum[i] = static_cast<std::uint32_t>(s);
    carry = s >> 32;
  }
  return carry != 0 || !Below(sum, P) ? Subtract(sum, P) : sum;
}

// (a - b) mod p, for a and b below p: below b, a + (p - b).
Word256 SubtractMod(const Word256& a, const Word256& b) {
  return Below(a, b) ? AddMod(a, Subtract(P, b)) : Subtract(a, b);
}

// (a * b) mod p, for a and b below p: doubling and adding, one bit of b at a time.
Word256 MultiplyMod(const Word256& a, const Word256& b) {
  Word256 product{};
  for (std::size_t bit = 256; bit-- > 0;) {
    product = AddMod(product, product);
    if ((b[bit / 32] >> (bit % 32)) & 1u) product = AddMod(product, a);
  }
  return product;
}

}  // namespace

bool IsPointOnP256(const std::array<std::uint8_t, PublicKeyPointBytes>& point) {
  if (point[0] != 0x04) return false;
  const Word256 x = FromBigEndian(point.data() + 1);
  const Word256 y = FromBigEndian(point.data() + 33);
  if (!Below(x, P) || !Below(y, P)) return false;
  const Word256 threeX = AddMod(AddMod(x, x), x);
  const Word256 right = AddMod(SubtractMod(MultiplyMod(MultiplyMod(x, x), x), threeX), B);
  return MultiplyMod(y, y) == right;
}

}  // namespace dalvorn
