#!/usr/bin/env bash
# Builds the .deb from the build tree, unpacks it into a scratch root, checks what it installs and
# runs the installed kirune-print.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/kirune_*.deb)

# The package declares what the program needs at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6printsupport6 libjpeg62-turbo libcups2 fonts-klee fonts-ipafont-gothic; do
  [[ $depends == *"$need"* ]] || fail "Depends lacks $need: $depends"
done
# Every dependency resolves on this machine's package sources.
if [ "$(id -u)" -eq 0 ]; then
  apt-get install --simulate -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt cannot install $deb"; }
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/kirune usr/bin/kirune-print usr/share/applications/kirune.desktop \
  usr/share/icons/hicolor/16x16/apps/kirune.png usr/share/icons/hicolor/32x32/apps/kirune.png \
  usr/share/man/man1/kirune-print.1; do
  [ -e "$root/$f" ] || fail "package lacks /$f"
done
grep -q '^Categories=.*Education' "$root/usr/share/applications/kirune.desktop" || fail "desktop category"

# The installed command-line program works on its own.
list=$("$root/usr/bin/kirune-print" --list-presets)
[ "$(grep -c 'BitBtn' <<<"$list")" -eq 159 ] || fail "--list-presets does not list 159 presets"
"$root/usr/bin/kirune-print" BitBtn13 --seed 1 --set CheckBox15=1 --pdf "$work/sheet.pdf"
pages=$(pdfinfo "$work/sheet.pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = 2 ] || fail "expected 2 pages, got $pages"
