#!/usr/bin/env bash
# Checks the kivo-chat command line: screenshots without a display, listing, and the error cases.
set -u
bin=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data"
unset DISPLAY WAYLAND_DISPLAY
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

png_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$1"; }

out=$("$bin" --screenshot narrow --output "$tmp/s.png") || fail "narrow shot exited $?"
[ "$out" = "chat: wrote shot to $tmp/s.png" ] || fail "unexpected output: $out"
[ "$(png_size "$tmp/s.png")" = "1280x800" ] || fail "default size is $(png_size "$tmp/s.png")"

"$bin" --screenshot narrow --output "$tmp/t.png" --size 600x400 >/dev/null || fail "sized shot failed"
[ "$(png_size "$tmp/t.png")" = "600x400" ] || fail "--size gave $(png_size "$tmp/t.png")"

err=$("$bin" --screenshot narrow 2>&1 >/dev/null); rc=$?
[ $rc -ne 0 ] || fail "missing output exited 0"
[ "$err" = "missing screenshot output" ] || fail "missing output said: $err"

for bad in "--bogus" "--screenshot narrow --output $tmp/u.png --size 600" "--screenshot narrow --output $tmp/u.png --size 0x5" "--size 10x10" "--screenshot"; do
  # shellcheck disable=SC2086
  "$bin" $bad >/dev/null 2>"$tmp/err"; rc=$?
  [ $rc -eq 2 ] || fail "'$bad' exited $rc, expected 2"
  grep -q '^usage:' "$tmp/err" || fail "'$bad' printed no usage"
done
[ ! -e "$tmp/u.png" ] || fail "a refused request wrote a file"

names=$("$bin" --list-screenshots)
[ "$(echo "$names" | wc -l)" -eq 21 ] || fail "listed $(echo "$names" | wc -l) scenarios"
[ "$(echo "$names" | head -1)" = "narrow" ] || fail "first scenario is not narrow"
[ "$(echo "$names" | sed -n 14p)" = "composer" ] || fail "14th scenario is not composer"

echo "$((4 + 5 + 4 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
