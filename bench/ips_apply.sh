#!/usr/bin/env bash
# IPS apply as a whole process on a 1 MB and a 16 MB ROM (a patch of 64 records spread over the
# file). No other IPS patcher is installed here, so the reference is a previous build of
# bexulo-cli when one is given, and cp of the same ROM (the floor: read and write alone) is
# shown beside it. Everything runs in one hyperfine run.
# Usage: bench/ips_apply.sh [release build, default out/rel] [previous build] [runs, default 30]
set -euo pipefail

build_dir="$(realpath "${1:-out/rel}")"
previous_dir="${2:-}"
runs="${3:-30}"
here="$(dirname "$(realpath "$0")")"
cli="${build_dir}/bexulo-cli"
for tool in hyperfine python3; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done
[[ -x "${cli}" ]] || { echo "missing ${cli}: build the bexulo-cli target" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
commands=()
for megabytes in 1 16; do
  rom="${work}/rom${megabytes}.sfc"
  patch="${work}/rom${megabytes}.ips"
  head -c $((megabytes << 20)) /dev/urandom >"${rom}"
  # IPS: "PATCH", then records of a 3-byte offset, a 2-byte length and the bytes, then "EOF".
  python3 - "${patch}" $((megabytes << 20)) <<'PY'
import random, sys
path, size = sys.argv[1], int(sys.argv[2])
random.seed(size)
out = bytearray(b"PATCH")
for index in range(64):
    offset = min(size - 256, index * (size // 64) + 1)
    data = bytes(random.randrange(256) for _ in range(200))
    out += offset.to_bytes(3, "big") + len(data).to_bytes(2, "big") + data
out += b"EOF"
open(path, "wb").write(out)
PY
  if [[ -n "${previous_dir}" ]]; then
    commands+=(-n "previous bexulo-cli apply, ${megabytes} MB"
               "'$(realpath "${previous_dir}")/bexulo-cli' apply '${patch}' '${rom}' -o '${work}/old.sfc'")
  fi
  commands+=(-n "bexulo-cli apply, ${megabytes} MB"
             "'${cli}' apply '${patch}' '${rom}' -o '${work}/out.sfc'")
  commands+=(-n "cp, ${megabytes} MB" "cp '${rom}' '${work}/copy.sfc'")
done
uptime
hyperfine -N --style basic --warmup 3 --runs "${runs}" --export-json "${work}/times.json" \
  "${commands[@]}" >/dev/null
python3 "${here}/hyperfine_table.py" "${work}/times.json"
uptime
