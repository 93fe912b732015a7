#!/usr/bin/env bash
# Times `bexulo-cli scan` over a folder of thousands of NES ROMs: the three demo dumps copied
# many times into nested folders, half of them with one byte changed (near misses and unknown
# files), beside files that are no ROM. Prints the machine's load, the file count and the
# median time of whole runs, text and JSON, with a worker thread per core.
# Usage: bench/scan_bench.sh [release build directory, default out/release] [copies, default 1000]
# The build directory needs the targets bexulo-cli and demo_database.
set -euo pipefail

build_dir="${1:-out/release}"
copies="${2:-1000}"
cli="${build_dir}/bexulo-cli"
for tool in hyperfine python3; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool} (Debian package ${tool})" >&2; exit 1; }
done
if [[ ! -x "${cli}" || ! -d "${build_dir}/demo" ]]; then
  echo "missing ${cli} or the demo database: build the bexulo-cli and demo_database targets" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
python3 - "${build_dir}/demo" "${work}/roms" "${copies}" <<'PY'
import os, sys
source, target, copies = sys.argv[1], sys.argv[2], int(sys.argv[3])
dumps = [open(os.path.join(source, name), "rb").read() for name in sorted(os.listdir(source))]
for i in range(copies):
    folder = os.path.join(target, f"set{i % 40:02d}", f"box{i % 7}")
    os.makedirs(folder, exist_ok=True)
    for n, dump in enumerate(dumps):
        data = bytearray(dump)
        if i % 2:
            data[len(data) // 2 + i % 97] ^= 0xFF
        open(os.path.join(folder, f"Game {i} {n}.nes"), "wb").write(data)
    open(os.path.join(folder, f"notes {i}.txt"), "w").write("not a ROM\n")
PY
files=$(find "${work}/roms" -type f | wc -l)
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores; ${files} files," \
  "$(du -sh "${work}/roms" | cut -f1)"
hyperfine -N --style basic --warmup 1 --runs 5 \
  -n "scan ($(nproc) threads)" "'${cli}' scan '${work}/roms' --games '${build_dir}/games'" \
  -n "scan --json" "'${cli}' scan '${work}/roms' --json --games '${build_dir}/games'"
