#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree: every file in its
# place, the desktop entry and metadata valid, the manual pages rendering without
# warnings, the thumbnailer's own command making a PNG of the right size, and another
# project finding the library with find_package and playing the sample with it.
# Usage: install_test.sh BUILD_DIR SAMPLE_320x200.fli APP_ID CXX_COMPILER GENERATOR [CXX_FLAGS]
set -euo pipefail

build=$1
sample=$2
id=$3
cxx=$4
generator=$5
cxx_flags=${6:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

share=$prefix/share
expected=(bin/moxflic bin/moxflic-export share/moxflic/moxflic.res share/moxflic/demo.flc
          "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
          share/thumbnailers/moxflic.thumbnailer share/man/man1/moxflic.1.gz
          share/man/man1/moxflic-export.1.gz share/doc/moxflic/copyright
          include/moxflic/gfx/gfx.h include/moxflic/flic/flic.h include/moxflic/platform/backend.h
          include/moxflic/platform/headless/headless.h lib/cmake/moxflic/moxflicConfig.cmake)
for size in 16 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
for f in "${expected[@]}"; do [ -s "$prefix/$f" ] || fail "$f is not installed"; done

# Width and height of a PNG, from its header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for size in 16 48 256; do
  got=$(png_size "$share/icons/hicolor/${size}x${size}/apps/$id.png")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done

if command -v desktop-file-validate >/dev/null; then
  # Hints count too: the entry is kept free of them.
  out=$(desktop-file-validate "$share/applications/$id.desktop" 2>&1 || true)
  [ -z "$out" ] || fail "desktop entry: $out"
else
  echo "note: desktop-file-validate is not installed; desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$share/metainfo/$id.metainfo.xml" >/dev/null \
    || fail "metadata: $(appstreamcli validate --no-net --pedantic "$share/metainfo/$id.metainfo.xml" 2>&1)"
else
  echo "note: appstreamcli is not installed; metadata not validated"
fi
version=$("$prefix/bin/moxflic-export" --version | awk '{ print $2 }')
grep -q "<release version=\"$version\"" "$share/metainfo/$id.metainfo.xml" \
  || fail "the metadata has no release entry for version $version"

# A page as text on one long line a paragraph, unhyphenated, its dashes plain hyphens.
page_text() {
  LC_ALL=C.UTF-8 MANWIDTH=1000 man --nh --nj -l "$1" 2>/dev/null | sed 's/\xe2\x80\x90/-/g; s/\xe2\x88\x92/-/g'
}
# The text of one section of a rendered page.
page_section() { awk -v name="$2" '/^[A-Z]/ { inside = ($0 == name) } inside' <<<"$1"; }
# The keys a --help lists under "Keys:", one a line: each line is the keys, separated by
# ", ", in a column as wide as most lines show it, then what they do.
help_keys() {
  awk '/^Keys:/ { keys = 1; next }
       /^$/ { keys = 0 }
       keys {
         lines[++n] = $0
         # Where the text begins: after the first gap of two spaces or more.
         if (match(substr($0, 3), /[^ ]  +[^ ]/)) column[RSTART + RLENGTH + 1]++
       }
       END {
         for (c in column) if (column[c] > column[text]) text = c
         for (i = 1; i <= n; i++) {
           count = split(substr(lines[i], 3, text - 3), names, ", ")
           for (k = 1; k <= count; k++) { sub(/ +$/, "", names[k]); if (names[k] != "") print names[k] }
         }
       }' <<<"$1"
}
# A page keeps up with its program: every option its --help names is in the page, every
# key it lists under "Keys:" is in the page's KEYS section, and every exit status it
# gives under "Exit status:" is in the EXIT STATUS section.
check_page_against_help() {
  local page=$1 help=$2 text option key status
  text=$(page_text "$share/man/man1/$page.1.gz")
  for option in $(grep -oE -- '(^|[][ |,(])--?[a-z][a-z0-9-]*' <<<"$help" | sed 's/^[^-]*//' | sort -u); do
    grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|\$)" <<<"$text" \
      || fail "$page.1 does not name $option, which $page --help names"
  done
  while IFS= read -r key; do
    page_section "$text" KEYS | grep -qwF -- "$key" || fail "$page.1 has no key $key in KEYS, which $page --help lists"
  done < <(help_keys "$help")
  for status in $(awk '/^Exit status:/ { exits = 1 } /^$/ { exits = 0 } exits' <<<"$help" |
                  grep -oE '(:|,) [0-9]+ ' | grep -oE '[0-9]+'); do
    page_section "$text" "EXIT STATUS" | grep -qw -- "$status" \
      || fail "$page.1 does not give exit status $status, which $page --help gives"
  done
}

if command -v man >/dev/null; then
  for page in moxflic moxflic-export; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^EXIT STATUS" \
      || fail "$page.1 does not render an EXIT STATUS section"
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$page" --help) || fail "$page --help failed"
    check_page_against_help "$page" "$help"
  done
else
  echo "note: man is not installed; manual pages not rendered"
fi

# The thumbnailer's command as a file manager runs it: %s size, %i input, %o output.
exec_line=$(sed -n 's/^Exec=//p' "$share/thumbnailers/moxflic.thumbnailer")
read -r -a words <<<"$exec_line"
command=()
for w in "${words[@]}"; do
  w=${w//%s/96}
  w=${w//%i/$sample}
  command+=("${w//%o/$prefix/thumb.png}")
done
PATH="$prefix/bin:$PATH" "${command[@]}" || fail "the thumbnailer command failed: ${command[*]}"
got=$(png_size "$prefix/thumb.png" 2>/dev/null || true)
[ "$got" = 96x60 ] || fail "the thumbnail of a 320 x 200 animation at 96 is $got, not 96x60"

# Another project: find_package(moxflic), linked and run on the sample.
consumer=$prefix/consumer-build
if cmake -S "$(dirname "$0")/consumer" -B "$consumer" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
     -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxx_flags" -DCMAKE_EXE_LINKER_FLAGS="$cxx_flags" \
     >"$prefix/consumer.log" 2>&1 &&
   cmake --build "$consumer" >>"$prefix/consumer.log" 2>&1; then
  "$consumer/play_sample" "$sample" "$(dirname "$sample")/sun-146x140.flc" ||
    fail "the consumer project did not play the sample and another file in two threads"
else
  fail "the consumer project did not build: $(tail -20 "$prefix/consumer.log")"
fi

[ "$failures" -eq 0 ] && echo "installed tree checked" || exit 1
