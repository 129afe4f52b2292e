#include "text/pseudo_language.h"

#include <array>

#include "text/text_codec.h"

namespace dalvorn {
namespace {

// Accented forms of the ASCII letters, those that every font of both windows has (DejaVu Sans;
// Tahoma and MS Sans Serif as Wine has them, Microsoft Sans Serif and Segoe UI on Windows):
// from Latin-1, Latin Extended-A and the florin of Windows-1252. A letter with none (b, h, j,
// k, m, p, q, v, w, x) stays as it is.
constexpr std::array<char32_t, 26> Lower = {U'å', U'b', U'ç', U'ď', U'é', U'ƒ', U'ğ', U'h', U'î',
                                            U'j', U'k', U'ł', U'm', U'ñ', U'ö', U'p', U'q', U'ŕ',
                                            U'š', U'ţ', U'û', U'v', U'w', U'x', U'ý', U'ž'};
constexpr std::array<char32_t, 26> Upper = {U'Å', U'B', U'Ç', U'Ď', U'É', U'F', U'Ğ', U'H', U'Î',
                                            U'J', U'K', U'Ł', U'M', U'Ñ', U'Ö', U'P', U'Q', U'Ŕ',
                                            U'Š', U'Ţ', U'Û', U'V', U'W', U'X', U'Ý', U'Ž'};
// What lengthens the text: words of accented letters about as wide as the text's own.
constexpr std::u32string_view Padding = U" łöŕéñ îþšûñ ďöłöŕ šîţ åñéţ çöñšéçţéţûŕ";

char32_t Accented(char32_t c) {
  if (c >= U'a' && c <= U'z') return Lower[c - U'a'];
  if (c >= U'A' && c <= U'Z') return Upper[c - U'A'];
  return c;
}

}  // namespace

std::string PseudoText(std::string_view english) {
  std::string out = "[";
  std::size_t length = 0;  // code points of the English text
  bool inPlaceholder = false;
  for (std::size_t i = 0; i < english.size();) {
    const char32_t c = DecodeUtf8(english, i);
    if (c == U'{') inPlaceholder = true;
    AppendUtf8(out, inPlaceholder ? c : Accented(c));
    if (c == U'}') inPlaceholder = false;
    ++length;
  }
  // 40 % more, the brackets included, rounded up.
  const std::size_t extra = (length * 4 + 9) / 10;
  for (std::size_t i = 0; i + 2 < extra; ++i) AppendUtf8(out, Padding[i % Padding.size()]);
  out += ']';
  return out;
}

}  // namespace dalvorn
