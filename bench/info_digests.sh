#!/usr/bin/env bash
# bexulo-cli info on a 64 MB file (read, CRC16, CRC32, SHA-256, the report) against
# openssl dgst -sha256 (the reference) and sha256sum, whole processes side by side in one
# hyperfine run; then the peak memory of each, with the info budget: the file plus 16 MiB.
# With a previous build, its bexulo-cli info runs beside them.
# Usage: bench/info_digests.sh [release build, default out/rel] [runs, default 10] [previous build]
set -euo pipefail

build_dir="$(realpath "${1:-out/rel}")"
runs="${2:-10}"
previous="${3:+$(realpath "${3}")/bexulo-cli}"
here="$(dirname "$(realpath "$0")")"
cli="${build_dir}/bexulo-cli"
for tool in hyperfine openssl sha256sum python3 /usr/bin/time; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done
[[ -x "${cli}" ]] || { echo "missing ${cli}: build the bexulo-cli target" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
file="${work}/random.bin"
head -c $((64 << 20)) /dev/urandom >"${file}"
commands=(-n "openssl dgst -sha256" "openssl dgst -sha256 '${file}'"
          -n "sha256sum" "sha256sum '${file}'"
          -n "bexulo-cli info" "'${cli}' info '${file}'")
[[ -z "${previous}" ]] || commands+=(-n "previous bexulo-cli info" "'${previous}' info '${file}'")
uptime
hyperfine -N --style basic --warmup 2 --runs "${runs}" --export-json "${work}/times.json" \
  "${commands[@]}" >/dev/null
python3 "${here}/hyperfine_table.py" "${work}/times.json"
echo "peak memory (MiB); the info budget is $(( (64 << 20) / 1048576 + 16 )) MiB"
peaks=("openssl dgst -sha256" "sha256sum" "${cli} info")
[[ -z "${previous}" ]] || peaks+=("${previous} info")
for command in "${peaks[@]}"; do
  peak_kb=$(/usr/bin/time -f '%M' ${command} "${file}" 2>&1 >/dev/null | tail -1)
  awk -v name="${command}" -v kb="${peak_kb}" 'BEGIN { printf "  %8.1f  %s\n", kb / 1024, name }'
done
uptime
