// The translations built into the program: one gettext catalogue (.mo, as msgfmt compiles
// po/LANG.po) per language, with the language's plural rule, generated at build time by
// cmake/embed_catalogues.cmake.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace dalvorn::generated {

struct BuiltInCatalogue {
  std::string_view language;  // "de", "pt_BR", ...
  const unsigned char* mo;    // the .mo file's bytes
  std::size_t size;
  // The catalogue's Plural-Forms expression, compiled: the index of the form for `n`.
  unsigned long (*plural)(unsigned long n);
};

std::span<const BuiltInCatalogue> BuiltInCatalogues();

}  // namespace dalvorn::generated
