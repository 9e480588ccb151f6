#!/usr/bin/env bash
# "プリンタ設定" with real clicks (Xvfb + xdotool) on a 1920 x 1080 screen, before and after prints:
#   printer_setup_clicks.sh KIRUNE              no spooler (CUPS_SERVER names a socket that is not there):
#                                               each run is saved as a PDF under ~/Documents/Kirune
#   printer_setup_clicks.sh KIRUNE SPOOLER_DIR  the private cupsd of tests/printing/cups_spooler.sh, whose
#                                               queue kirune-pdf writes its jobs into SPOOLER_DIR/out
# Checks: after a print the dialog opens on every click; キャンセル leaves the output where it was;
# with a spooler, 設定 keeps the queue the dialog listed and the next print goes to it.
set -euo pipefail

bin=${1:?path to kirune}
spooler=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ -n $spooler ]]; then
  export CUPS_SERVER=$spooler/cups.sock
  outputs() { find "$spooler/out" -type f -newer "$work/start" | wc -l; }
else
  export CUPS_SERVER=$work/no-such.sock
  outputs() { find "$work/home/Documents/Kirune" -type f -name '*.pdf' 2>/dev/null | wc -l; }
fi
mkdir -p "$work/home"
touch "$work/start"
{ declare -f outputs; echo "spooler=$spooler"; } >"$work/outputs.sh"
export HOME=$work/home XDG_RUNTIME_DIR=$work

xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  set -euo pipefail
  bin=$1 work=$2
  source "$3"
  "$bin" >"$work/kirune.log" 2>&1 &
  pid=$!
  window=$(xdotool search --sync --onlyvisible --name "^Kirune　" | head -1)
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The layout at 1080 and 74 percent: R = 43, C = 59; the preset "２０" of row 1 at 251, 53 (44 x 43),
  # "プリンタ設定" at 19 * C + C / 2, 8 * R + R / 2 + 10 (3 * C x 9 * R / 10).
  click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }
  fail() {
    echo "FAIL: $*"; xdotool search --onlyvisible --name . getwindowname %@ || true
    [[ -n ${KIRUNE_SHOT:-} ]] && import -window root "$KIRUNE_SHOT"
    cat "$work/kirune.log"; kill $pid; exit 1
  }
  visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
  waitForWindow() {  # NAME SECONDS
    for _ in $(seq $(($2 * 10))); do visible "$1" && return 0; sleep 0.1; done
    return 1
  }
  # Prints once: clicks "２０", dismisses the closing message if there is one, and waits for the output.
  printOnce() {
    echo "print $1" >&2
    local before=$(outputs)
    click 273 74
    for _ in $(seq 300); do [[ $(outputs) -gt $before ]] && break; sleep 0.1; done
    [[ $(outputs) -eq $((before + 1)) ]] || fail "print $1: $(outputs) outputs, $before before"
    # The run is over when its progress window (shown while the spooler is followed) has gone; a
    # closing message, if any, is then dismissed with Enter.
    sleep 1
    for _ in $(seq 600); do visible "^Kirune (印刷|保存)中" || break; sleep 0.1; done
    if waitForWindow "^Kirune$" 2; then xdotool key Return; fi
    for _ in $(seq 50); do visible "^Kirune$" || break; sleep 0.1; done
  }
  openSetup() {  # the dialog shows on this click, or the test fails
    echo "setup $1" >&2
    click 1238 394
    waitForWindow "^プリンタ設定$" 10 || fail "click $1: no printer set-up dialog"
  }
  closeSetup() {  # KEY
    xdotool key "$1"
    for _ in $(seq 50); do visible "^プリンタ設定$" || return 0; sleep 0.1; done
    fail "the dialog stayed after $1"
  }

  printOnce 1
  for n in 1 2 3; do
    openSetup $n
    closeSetup Escape
  done
  printOnce 2
  openSetup 4
  if [[ -n ${spooler:-} ]]; then
    closeSetup Return
    printOnce 3
  else
    closeSetup Escape
  fi
  ls "$HOME" | grep -q "^print" && fail "files in the home folder: $(ls "$HOME")"
  kill $pid; wait $pid 2>/dev/null || true
' _ "$bin" "$work" "$work/outputs.sh"
echo "ok: the printer set-up opened on every click${spooler:+, with the spooler}"
