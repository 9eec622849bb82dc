#!/usr/bin/env bash
# Usage: check_install.sh BUILD_DIR VERSION
# Installs BUILD_DIR into a temporary prefix and checks that a desktop finds there the
# program, its entry, its icons and its AppStream data, valid per the freedesktop tools.
set -euo pipefail
build=$1 version=$2
app_id=io.github.tunescrib
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

bin=$prefix/bin/tunescrib
desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
icons=$prefix/share/icons/hicolor

# The installed binary must run from where it lands, away from the build tree.
if [ -x "$bin" ]; then
  out=$(QT_QPA_PLATFORM=offscreen "$bin" --version 2>&1) || fail "tunescrib --version exited non-zero: $out"
  [[ $out == *"$version"* ]] || fail "tunescrib --version does not print $version: $out"
else
  fail "bin/tunescrib is not installed or not executable"
fi

if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  key() { sed -n "s/^$1=//p" "$desktop"; }
  [ -x "$prefix/bin/$(key Exec | cut -d' ' -f1)" ] || fail "Exec= does not name the installed program"
  [ "$(key Icon)" = tunescrib ] || fail "Icon= is not the installed icon's name"
else
  fail "$desktop is not installed"
fi

# rsvg-convert reads the SVG as an icon theme's loader would; a broken file fails here.
svg=$icons/scalable/apps/tunescrib.svg
if [ -f "$svg" ]; then
  rsvg-convert --width=24 --height=24 "$svg" >/dev/null || fail "the SVG icon does not render"
else
  fail "$svg is not installed"
fi
for size in 16 32 48 64 128 256; do
  png=$icons/${size}x${size}/apps/tunescrib.png
  if [ ! -f "$png" ]; then
    fail "$png is not installed"
    continue
  fi
  # A PNG's IHDR holds width and height as big-endian 32-bit numbers at bytes 16..23.
  ihdr=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
  w=$((16#${ihdr:0:8})) h=$((16#${ihdr:8:8}))
  [ "$w $h" = "$size $size" ] || fail "$png is ${w}x${h}, not ${size}x${size}"
done

if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"
  # The newest release listed first must be the version being installed.
  newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
  [ "$newest" = "$version" ] || fail "the metainfo's newest release is '$newest', not $version"
else
  fail "$metainfo is not installed"
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed files are complete and valid"
