#!/usr/bin/env bash
# Times whole runs of bexulo-cli with hyperfine: start-up alone (beside /bin/true), then apply
# and create on a 384 KB NES ROM (the demo castle dump) and a 4 MB port made from it. Prints the
# median and the spread of each.
# Usage: bench/cli_bench.sh [release build directory, default out/release] [runs, default 30]
# The build directory needs the targets bexulo-cli and demo_database.
set -euo pipefail

build_dir="${1:-out/release}"
runs="${2:-30}"
cli="${build_dir}/bexulo-cli"
nes="${build_dir}/demo/Bexulo Demo Castle (DiskDude).nes"
for tool in hyperfine python3; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool} (Debian package ${tool})" >&2; exit 1; }
done
if [[ ! -x "${cli}" || ! -f "${nes}" ]]; then
  echo "missing ${cli} or the demo database: build the bexulo-cli and demo_database targets" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
# The 4 MB target: the castle's port with its settings changed, so that the patch has work to do.
"${cli}" build "${nes}" -o "${work}/target.sfc" --games "${build_dir}/games" --size 4mb \
  --set freeze=on --set splash1=off --palette 4 --gg "SXIOPO, AAEAULPA" >/dev/null 2>&1
"${cli}" create "${nes}" "${work}/target.sfc" -o "${work}/target.bps" >/dev/null
echo "NES ROM $(stat -c %s "${nes}") bytes, target $(stat -c %s "${work}/target.sfc") bytes," \
  "patch $(stat -c %s "${work}/target.bps") bytes"

hyperfine -N --style basic --warmup 3 --runs "${runs}" --export-json "${work}/times.json" \
  -n "baseline (/bin/true)" "/bin/true" \
  -n "start-up (--version)" "'${cli}' --version" \
  -n "apply (BPS, 384 KB -> 4 MB)" "'${cli}' apply '${work}/target.bps' '${nes}' -o '${work}/out.sfc'" \
  -n "create (BPS, 384 KB -> 4 MB)" "'${cli}' create '${nes}' '${work}/target.sfc' -o '${work}/out.bps'" \
  >/dev/null

python3 - "${work}/times.json" <<'PY'
import json, statistics, sys
for result in json.load(open(sys.argv[1]))["results"]:
    times = [t * 1000 for t in result["times"]]
    q = statistics.quantiles(times, n=4)
    print(f"{result['command']:30} median {statistics.median(times):8.2f} ms   "
          f"IQR {q[0]:.2f}-{q[2]:.2f} ms   min {min(times):.2f}   max {max(times):.2f}   "
          f"({len(times)} runs)")
PY
