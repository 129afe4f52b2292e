#!/usr/bin/env bash
# Brings the translations up to date with the sources: xgettext makes the template
# po/dalvorn-firmware-update.pot of every text the program marks (Tr, TrC, TrN, TrMark in
# src/ and app/) and of the desktop entry's and the metainfo's texts, then msgmerge brings each
# po/LANG.po of po/LINGUAS up to date with it (new texts untranslated, changed ones fuzzy).
# The template is rewritten only when a text or a translator's note changed, not for its date.
# With --check it changes nothing and fails when the template is not up to date with the
# sources, or a language lacks a translation (untranslated, fuzzy or missing, msgcmp) or has a
# wrong one (msgfmt --check: a lost placeholder, a bad plural rule). ctest runs it so.
# Usage: scripts/update-po.sh [--check] BUILD   (a configured build of this tree, whose generated
#        desktop entry and metainfo hold the English texts), or:
#        cmake --build --preset default --target update-po
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check=0
if [[ ${1:-} == --check ]]; then
  check=1
  shift
fi
build=$(realpath "$1")
linux=$build/generated/linux
po=$top/po
pot=$po/dalvorn-firmware-update.pot
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Locations name the file only: a line moved in the code changes nothing here.
common=(--from-code=UTF-8 --add-comments=TRANSLATORS: --add-location=file
  --package-name="Dalvorn firmware update"
  --msgid-bugs-address="https://dalvorn.org/firmware-update" --copyright-holder="Dalvorn")

# The program's texts, in a fixed order of files.
(cd "$top" && find src app \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort) >"$tmp/sources"
(cd "$top" && xgettext "${common[@]}" --language=C++ --keyword= --keyword=Tr \
  --keyword=TrC:1c,2 --keyword=TrN:1,2 --keyword=TrMark --files-from="$tmp/sources" \
  -o "$tmp/program.pot")

# The desktop entry's Name, GenericName, Comment and Keywords, and the metainfo's name, summary
# and description (gettext's ITS rules for metainfo), as generated with the English texts;
# their notes name the templates they come from.
desktop=dalvorn-firmware-update.desktop
metainfo=$(cd "$linux" && ls ./*.metainfo.xml)
metainfo=${metainfo#./}
(cd "$linux" && xgettext "${common[@]}" --language=Desktop "$desktop" -o "$tmp/desktop.pot" &&
  xgettext "${common[@]}" "$metainfo" -o "$tmp/metainfo.pot")
sed -i "s|^#: $desktop|#: src/ui/resources/$desktop.in|" "$tmp/desktop.pot"
sed -i "s|^#: $metainfo|#: packaging/linux/metainfo.xml.in|" "$tmp/metainfo.pot"

msgcat --use-first "$tmp/program.pot" "$tmp/desktop.pot" "$tmp/metainfo.pot" -o "$tmp/all.pot"

# A text with placeholders ("{path}") is flagged so that msgfmt --check makes sure each
# translation keeps every one of them.
awk 'BEGIN { RS = ""; ORS = "\n\n" }
  {
    if ($0 ~ /msgid[^\n]*\{[a-z_]+\}|\n"[^\n]*\{[a-z_]+\}/ && $0 !~ /python-brace-format/) {
      if ($0 ~ /(^|\n)#, /) sub(/(^|\n)#, [^\n]*/, "&, python-brace-format")
      else if ($0 ~ /(^|\n)msgctxt/) sub(/(^|\n)msgctxt/, "\n#, python-brace-format&")
      else sub(/(^|\n)msgid/, "\n#, python-brace-format&")
      sub(/^\n/, "")
    }
    print
  }' "$tmp/all.pot" | sed -e 's/charset=CHARSET/charset=UTF-8/' \
  -e '/^"Project-Id-Version:/s/PACKAGE VERSION/Dalvorn firmware update/' >"$tmp/new.pot"
# Exactly one trailing newline, as msgcat writes it.
sed -i -e :a -e '/^\n*$/{$d;N;ba' -e '}' "$tmp/new.pot"

without_date() { grep -v '^"POT-Creation-Date:' "$1" || true; }
# The texts, notes and flags alone, in a fixed order: what the check compares.
texts_of() { msgcat --no-location --sort-output "$1" | without_date /dev/stdin; }
languages=$(grep -v '^#' "$po/LINGUAS")
if ((check)); then
  failed=0
  if ! cmp -s <(texts_of "$pot") <(texts_of "$tmp/new.pot"); then
    echo "$pot is not up to date with the sources: run scripts/update-po.sh" >&2
    diff <(texts_of "$pot") <(texts_of "$tmp/new.pot") >&2 || true
    failed=1
  fi
  for lang in $languages; do
    msgfmt --check -o /dev/null "$po/$lang.po" || failed=1
    msgcmp "$po/$lang.po" "$pot" || failed=1
  done
  exit "$failed"
fi

if [[ ! -f $pot ]] || ! cmp -s <(without_date "$pot") <(without_date "$tmp/new.pot"); then
  cp "$tmp/new.pot" "$pot"
  echo "updated $pot"
fi

# Each language: new texts untranslated, changed ones fuzzy with their previous English.
for lang in $languages; do
  msgmerge --quiet --update --backup=none --previous "$po/$lang.po" "$pot"
done
