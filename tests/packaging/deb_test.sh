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

# Small enough to download anywhere: the programs are stripped.
size=$(stat -c %s "$deb")
((size < 3 * 1024 * 1024)) || fail "the package is $size bytes, not under 3 MB"

# The package declares what the program needs at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6printsupport6 libjpeg62-turbo libcups2 fonts-klee \
  fonts-ipafont-gothic qt6-translations-l10n; do
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
  usr/share/man/man1/kirune.1.gz usr/share/man/man1/kirune-print.1.gz usr/share/doc/kirune/copyright \
  usr/share/doc/kirune/CREDITS usr/bin/kirune-serve usr/share/man/man1/kirune-serve.1.gz \
  usr/lib/systemd/system/kirune-serve.service \
  usr/share/kirune/guide/index.html usr/share/kirune/guide/sheet.png; do
  [ -e "$root/$f" ] || fail "package lacks /$f"
done
grep -q '^Categories=.*Education' "$root/usr/share/applications/kirune.desktop" || fail "desktop category"

# No debug information in the programs.
for f in "$root"/usr/bin/*; do
  sections=$(readelf -SW "$f") || fail "readelf cannot read /usr/bin/${f##*/}"
  [[ $sections == *" .text "* ]] || fail "readelf lists no sections in /usr/bin/${f##*/}"
  if grep -q ' \.debug_' <<<"$sections"; then fail "/usr/bin/${f##*/} carries debug sections"; fi
done

# The manual pages are gzip files whose pages man can format, each naming its own program.
for page in kirune kirune-print kirune-serve; do
  gz=$root/usr/share/man/man1/$page.1.gz
  zcat "$gz" | grep -q "^\.TH ${page^^} 1" || fail "$page.1.gz is not the manual page of $page"
  text=$(LC_ALL=C MANWIDTH=80 man -l "$gz" 2>"$work/man.err") || { cat "$work/man.err"; fail "man cannot format $page.1.gz"; }
  grep -Eq "^ +$page +- " <<<"$text" || fail "$page.1.gz formats without its NAME line: $text"
done

# The copyright file is machine-readable and covers the code and the pictures.
copyright=$root/usr/share/doc/kirune/copyright
head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in the machine-readable format"
for lic in Expat CC-BY-SA-4.0 OFL-1.1; do
  grep -q "^License: $lic\$" "$copyright" || fail "copyright lacks the text of $lic"
done

# The installed command-line program works on its own.
list=$("$root/usr/bin/kirune-print" --list-presets)
[ "$(grep -c 'BitBtn' <<<"$list")" -eq 159 ] || fail "--list-presets does not list 159 presets"
"$root/usr/bin/kirune-print" BitBtn13 --seed 1 --set CheckBox15=1 --pdf "$work/sheet.pdf"
pages=$(pdfinfo "$work/sheet.pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = 2 ] || fail "expected 2 pages, got $pages"

# The service is installed but not enabled (no maintainer script enables it), and starts the
# installed server with the options of /etc/default/kirune-serve.
unit=$root/usr/lib/systemd/system/kirune-serve.service
grep -q '^ExecStart=/usr/bin/kirune-serve \$KIRUNE_SERVE_OPTIONS$' "$unit" || fail "the unit does not start /usr/bin/kirune-serve"
grep -q '^WantedBy=multi-user.target$' "$unit" || fail "the unit has no install target"
if command -v systemd-analyze >/dev/null; then
  # Checked against this system's units, with the program where the scratch root has it.
  mkdir "$work/unit"
  sed "s#/usr/bin/kirune-serve#$root/usr/bin/kirune-serve#" "$unit" >"$work/unit/kirune-serve.service"
  systemd-analyze verify --man=no "$work/unit/kirune-serve.service" >"$work/unit.log" 2>&1 ||
    { cat "$work/unit.log"; fail "systemd-analyze rejects the unit"; }
fi
dpkg-deb -e "$deb" "$work/control"
if ls "$work/control" | grep -q 'postinst'; then fail "the package runs a postinst (the service must stay disabled)"; fi

# The installed server answers on a loopback port and serves a sheet.
"$root/usr/bin/kirune-serve" --listen 127.0.0.1:0 >"$work/serve.out" 2>&1 &
serve=$!
for _ in $(seq 50); do grep -q '^kirune-serve: http' "$work/serve.out" && break; sleep 0.1; done
url=$(sed -n 's/^kirune-serve: //p' "$work/serve.out")
[ -n "$url" ] || { kill "$serve"; cat "$work/serve.out"; fail "the installed kirune-serve did not start"; }
curl -sf -o "$work/served.pdf" --max-time 60 "${url}sheets.pdf?preset=BitBtn13&answers=1" || { kill "$serve"; fail "no sheet from ${url}"; }
kill "$serve"
wait "$serve" || fail "kirune-serve did not stop cleanly on SIGTERM"
pages=$(pdfinfo "$work/served.pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = 2 ] || fail "expected 2 pages from kirune-serve, got $pages"
