#!/usr/bin/env bash
# The installed tree with the real programs that consume it, as on a desktop without a
# desktop session: the MIME types that file and shared-mime-info give FLI and FLC files
# are the desktop entry's and the thumbnailer's; xdg-mime names the viewer as their
# default and xdg-open starts it on a .flc; Xfce's thumbnail service (tumbler, on a
# private session bus) makes thumbnails of a .fli and a .flc through the thumbnailer;
# and, when asked, the Debian package made from the build passes lintian with no tag
# at all. Exit 77 (skipped) when one of those programs is missing, unless
# MOXFLIC_REQUIRE_ORACLES is set.
# Usage: desktop_test.sh BUILD_DIR SAMPLE.fli SAMPLE.flc APP_ID [package]
set -euo pipefail

build=$1
fli=$2
flc=$3
id=$4
package=${5:-}

tumblerd=$(ls /usr/lib/*/tumbler-1/tumblerd 2>/dev/null | head -1 || true)
missing=()
for tool in file xdg-mime xdg-open update-desktop-database dbus-launch dbus-send md5sum; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[ -n "$tumblerd" ] || missing+=(tumbler)
if [ -n "$package" ]; then command -v lintian >/dev/null || missing+=(lintian); fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIP: not installed: ${missing[*]}"
  [ -n "${MOXFLIC_REQUIRE_ORACLES:-}" ] && exit 1
  exit 77
fi

work=$(mktemp -d)
bus_pid=
service_pid=
cleanup() {
  [ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true
  [ -z "$bus_pid" ] || kill "$bus_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
mkdir -p "$work/films" "$work/home"
cp "$fli" "$work/films/film.fli"
cp "$flc" "$work/films/film.flc"

# A desktop of its own: a fresh home, the prefix's files found first, no desktop session.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache \
  XDG_DATA_HOME=$work/home/.local/share XDG_DATA_DIRS=$share:/usr/local/share:/usr/share \
  PATH=$prefix/bin:$PATH
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID \
  DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

# Every name the system gives the files: file's (which xdg-mime reports without a
# desktop session) and shared-mime-info's, by glob.
entry_types=$(sed -n 's/^MimeType=//p' "$share/applications/$id.desktop")
thumbnailer_types=$(sed -n 's/^MimeType=//p' "$share/thumbnailers/moxflic.thumbnailer")
for film in film.fli film.flc; do
  types=$(file --brief --mime-type "$work/films/$film")
  types+=" $(awk -F: -v ext="*.${film##*.}" '$3 == ext { print $2 }' /usr/share/mime/globs2 2>/dev/null || true)"
  for type in $types; do
    [[ ";$entry_types" == *";$type;"* ]] || fail "the desktop entry does not list $type ($film)"
    [[ ";$thumbnailer_types" == *";$type;"* ]] || fail "the thumbnailer does not list $type ($film)"
  done
done

# Opening: the prefix's applications indexed, as the package's trigger does on install.
update-desktop-database "$share/applications"
for film in film.fli film.flc; do
  type=$(xdg-mime query filetype "$work/films/$film")
  default=$(xdg-mime query default "$type")
  [ "$default" = "$id.desktop" ] || fail "xdg-mime names \"$default\" to open $film ($type), not $id.desktop"
done
# xdg-open starts the viewer on the file (drawn off screen); it is found by its program.
viewer_of() {  # prints the pid of the prefix's viewer whose arguments name the file
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$prefix/bin/moxflic" ] || continue
    tr '\0' '\n' <"$p/cmdline" 2>/dev/null | grep -qxF "$1" && echo "${p#/proc/}" && return 0
  done
  return 1
}
DISPLAY=:999 QT_QPA_PLATFORM=offscreen xdg-open "$work/films/film.flc" >"$work/xdg-open.log" 2>&1 &
opener=$!
viewer=
for _ in $(seq 100); do
  viewer=$(viewer_of "$work/films/film.flc") && break
  kill -0 "$opener" 2>/dev/null || break
  sleep 0.1
done
# xdg-open first, so that it tries nothing else once the viewer has gone.
kill "$opener" 2>/dev/null || true
wait "$opener" 2>/dev/null || true
if [ -n "$viewer" ]; then
  kill "$viewer"
else
  fail "xdg-open did not start the viewer on film.flc: $(cat "$work/xdg-open.log")"
fi

# Thumbnails from tumbler, asked for over D-Bus as a file manager asks.
eval "$(dbus-launch --sh-syntax)"
bus_pid=$DBUS_SESSION_BUS_PID
"$tumblerd" >"$work/tumblerd.log" 2>&1 &
service_pid=$!
name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.thumbnails.Thumbnailer1 2>/dev/null | grep -q true
}
for _ in $(seq 100); do name_owned && break; sleep 0.1; done
uris=()
mime_types=()
for film in film.fli film.flc; do
  uris+=("file://$work/films/$film")
  mime_types+=(video/x-flic)
done
dbus-monitor --session "type='signal',interface='org.freedesktop.thumbnails.Thumbnailer1'" \
  >"$work/signals.log" 2>&1 &
monitor=$!
sleep 0.2
(
  IFS=,
  dbus-send --session --print-reply --dest=org.freedesktop.thumbnails.Thumbnailer1 \
    /org/freedesktop/thumbnails/Thumbnailer1 org.freedesktop.thumbnails.Thumbnailer1.Queue \
    "array:string:${uris[*]}" "array:string:${mime_types[*]}" string:normal string:default uint32:0 >/dev/null
) || fail "tumbler did not take the request"
# The request is done when the service says Finished.
for _ in $(seq 100); do grep -q 'member=Finished' "$work/signals.log" && break; sleep 0.1; done
kill "$monitor" 2>/dev/null || true
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for uri in "${uris[@]}"; do
  thumb=$XDG_CACHE_HOME/thumbnails/normal/$(printf %s "$uri" | md5sum | cut -d' ' -f1).png
  if [ -s "$thumb" ]; then
    # The service scales a thumbnail to at most 128 pixels; both samples are larger.
    size=$(png_size "$thumb")
    [[ "$size" == 128x* || "$size" == *x128 ]] || fail "the thumbnail of $uri is $size"
  else
    fail "tumbler made no thumbnail of $uri: $(grep -A3 -F "$uri" "$work/signals.log" | tr -s ' \n' ' ')"
  fi
done

# The Debian package of this build, checked by lintian: every tag fails, down to the
# informational and pedantic ones.
if [ -n "$package" ]; then
  if (cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1); then
    deb=$(ls "$work"/package/*.deb)
    tags=$(lintian --display-info --display-experimental --pedantic "$deb" 2>&1 |
           grep -v '^running with root privileges' || true)
    [ -z "$tags" ] || fail "lintian: $tags"
  else
    fail "cpack failed: $(tail -20 "$work/cpack.log")"
  fi
fi

[ "$failures" -eq 0 ] && echo "desktop consumers checked" || exit 1
