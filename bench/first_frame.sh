#!/usr/bin/env bash
# Times whole runs from start to the window's first frame (TBP_FIRSTFRAME makes each program
# quit right after it), side by side in one hyperfine run on one virtual X screen: a Qt Widgets
# hello-world (the reference), the patcher's default start with its splash, its automation
# start (TBP_LOAD and TBP_SHOT set, as the screenshot run) and a start with a ROM named on the
# command line (opened before the first frame).
# Usage: bench/first_frame.sh [release build directory, default out/rel] [runs, default 30]
# The build needs the targets bexulo-patcher, hello_window and demo_database.
set -euo pipefail

build_dir="$(realpath "${1:-out/rel}")"
runs="${2:-30}"
here="$(dirname "$(realpath "$0")")"
patcher="${build_dir}/bexulo-patcher"
hello="${build_dir}/bench/hello_window"
rom="${build_dir}/demo/Bexulo Demo Quest (World).nes"
for tool in hyperfine xvfb-run python3; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done
if [[ ! -x "${patcher}" || ! -x "${hello}" || ! -f "${rom}" ]]; then
  echo "missing ${patcher}, ${hello} or the demo database: build bexulo-patcher," \
       "hello_window and demo_database" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
uptime
xvfb-run -a -s "-screen 0 1920x1080x24" env TBP_FIRSTFRAME=1 \
  hyperfine -N --style basic --warmup 3 --runs "${runs}" --export-json "${work}/times.json" \
  -n "hello-world window" "'${hello}'" \
  -n "patcher, default start (splash)" "'${patcher}'" \
  -n "patcher, automation start" \
     "env TBP_LOAD='${rom}' TBP_SHOT='${work}/shot' '${patcher}'" \
  -n "patcher, ROM on the command line" "env TBP_NOSPLASH=1 '${patcher}' '${rom}'" \
  >/dev/null
python3 "${here}/hyperfine_table.py" "${work}/times.json"
uptime
