#!/usr/bin/env bash
# A private CUPS spooler for the printing tests, so the machine's own CUPS setup stays untouched.
#   cups_spooler.sh start DIR   starts cupsd with its configuration, spool, logs and socket in DIR and
#                               makes the queue kirune-pdf (cups-pdf, writing into DIR/out) the default
#   cups_spooler.sh stop DIR    stops that cupsd by its process id and removes what start made outside DIR
# Clients reach it with CUPS_SERVER=DIR/cups.sock.
#
# Its programs (ServerBin) are the system's and two more, for fault tests: the backend kirune-fail, whose
# device URI kirune-fail:/N makes it take the job and then exit with status N as a failing device does
# (1: failed, 4: stop the queue ...), and the filter kirune-fail, which fails on every document.
# DIR/failing-filter.ppd is cups-pdf's model with that filter in front.
#
# With KIRUNE_SPOOL_SIZE set (a tmpfs size such as 256k), the spool folder is a tmpfs of that size, so a
# test can fill it; start then exits 3 when the tmpfs cannot be mounted, and stop unmounts it.
#
# cups-pdf reads its configuration only from /etc/cups: the queue's device URI cups-pdf:/<tag> makes it
# read /etc/cups/cups-pdf-<tag>.conf, a file of this spooler alone, removed again by stop.
set -euo pipefail

action=${1:?start or stop}
dir=${2:?folder of the spooler}
tag=kirune-$(basename "$dir")
pdfconf=/etc/cups/cups-pdf-$tag.conf

stop() {
  if [[ -f $dir/cupsd.pid ]]; then
    local pid
    pid=$(<"$dir/cupsd.pid")
    # The spooler runs in a session and process group of its own (setsid), led by $pid: end the group,
    # which takes the filters and backends of a job still running with it.
    if kill -0 "$pid" 2>/dev/null; then
      kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -KILL -- "-$pid" 2>/dev/null || true
    fi
    rm -f "$dir/cupsd.pid"
  fi
  if mountpoint -q "$dir/spool" 2>/dev/null; then umount "$dir/spool"; fi
  rm -f "$pdfconf"
}

# ServerBin: links to the system's programs, and the failing backend and filter.
serverbin() {
  local bin=$dir/bin entry
  mkdir -p "$bin/backend" "$bin/filter"
  for entry in /usr/lib/cups/*; do
    case ${entry##*/} in
      backend | filter) ;;
      *) ln -s "$entry" "$bin/" ;;
    esac
  done
  for entry in /usr/lib/cups/backend/* /usr/lib/cups/filter/*; do
    ln -s "$entry" "$bin/${entry#/usr/lib/cups/}"
  done
  cat >"$bin/backend/kirune-fail" <<'END'
#!/bin/sh
# Lists no device. Given a job, reads it and then fails as its device URI (kirune-fail:/N) says.
[ $# -ge 5 ] || exit 0
cat ${6:+"$6"} >/dev/null
echo "ERROR: kirune-fail: the device failed" >&2
exit "${DEVICE_URI##*/}"
END
  cat >"$bin/filter/kirune-fail" <<'END'
#!/bin/sh
# Fails on every document.
echo "ERROR: kirune-fail: the filter failed" >&2
exit 1
END
  chmod 755 "$bin" "$bin/backend" "$bin/filter" "$bin/backend/kirune-fail" "$bin/filter/kirune-fail"
}

start() {
  # A spooler left from an interrupted run of the same build goes first.
  stop
  rm -rf "$dir"
  mkdir -p "$dir"/{conf,spool,cache,state,tmp,log,out}
  if [[ -n ${KIRUNE_SPOOL_SIZE:-} ]] && ! mount -t tmpfs -o "size=$KIRUNE_SPOOL_SIZE" tmpfs "$dir/spool"; then
    echo "cannot mount a tmpfs of $KIRUNE_SPOOL_SIZE on $dir/spool" >&2
    exit 3
  fi
  # cupsd hands jobs to filters running as lp; cups-pdf writes as the job's owner.
  chmod 755 "$dir" "$dir"/{conf,spool,cache,state,log}
  chmod 1777 "$dir/tmp" "$dir/out"
  serverbin

  # Every request in the access log, questions included, so a test can count what a print asked.
  cat >"$dir/conf/cupsd.conf" <<EOF
LogLevel info
AccessLogLevel all
Listen $dir/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
MaxJobs 0
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cat >"$dir/conf/cups-files.conf" <<EOF
ServerRoot $dir/conf
ServerBin $dir/bin
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice Yes
Printcap $dir/printcap
Sandboxing Relaxed
EOF
  cat >"$pdfconf" <<EOF
Out $dir/out
AnonDirName $dir/out
Label 2
Log $dir/log
EOF

  # setsid: its own process group, so stop can end it with everything it started. timeout: even a test
  # run that is killed before stop cannot leave it running for long.
  setsid timeout 1800 cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
    >"$dir/log/cupsd.out" 2>&1 </dev/null &
  echo $! >"$dir/cupsd.pid"

  export CUPS_SERVER=$dir/cups.sock
  for _ in $(seq 100); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    if ! kill -0 "$(<"$dir/cupsd.pid")" 2>/dev/null; then
      echo "cupsd ended at start:" >&2
      cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
      exit 1
    fi
    sleep 0.1
  done
  lpstat -r | grep -q 'is running'

  local model
  model=$(lpinfo -m | awk '/CUPS-PDF_opt\.ppd/ {print $1; exit}')
  if [[ -z $model ]]; then
    echo "no cups-pdf model (printer-driver-cups-pdf)" >&2
    exit 1
  fi
  lpadmin -p kirune-pdf -v "cups-pdf:/$tag" -m "$model" -E 2>/dev/null
  sed '/^\*ModelName:/a *cupsFilter2: "application/pdf application/vnd.cups-pdf 0 kirune-fail"' \
    "$dir/conf/ppd/kirune-pdf.ppd" >"$dir/failing-filter.ppd"
  lpadmin -d kirune-pdf
  lpstat -d
}

case $action in
  start) start ;;
  stop) stop ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
