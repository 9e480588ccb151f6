#!/usr/bin/env bash
# A private CUPS spooler for the printing tests, so the machine's own CUPS setup stays untouched.
#   cups_spooler.sh start DIR   starts cupsd with its configuration, spool, logs and socket in DIR and
#                               makes the queue kirune-pdf (cups-pdf, writing into DIR/out) the default
#   cups_spooler.sh stop DIR    stops that cupsd by its process id and removes what start made outside DIR
# Clients reach it with CUPS_SERVER=DIR/cups.sock.
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
  rm -f "$pdfconf"
}

start() {
  # A spooler left from an interrupted run of the same build goes first.
  stop
  rm -rf "$dir"
  mkdir -p "$dir"/{conf,spool,cache,state,tmp,log,out}
  # cupsd hands jobs to filters running as lp; cups-pdf writes as the job's owner.
  chmod 755 "$dir" "$dir"/{conf,spool,cache,state,log}
  chmod 1777 "$dir/tmp" "$dir/out"

  cat >"$dir/conf/cupsd.conf" <<EOF
LogLevel info
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
