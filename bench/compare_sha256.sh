#!/usr/bin/env bash
# Times the system's sha256sum on a 64 MB file and runs the SHA-256 benchmarks on a buffer
# of the same size, printing both so they can be compared.
# Usage: bench/compare_sha256.sh [release build directory, default build-rel]
set -euo pipefail

build_dir="${1:-build-rel}"
bench="${build_dir}/bench/checksums_bench"
if [[ ! -x "${bench}" ]]; then
  echo "missing ${bench}: configure a Release build and build the checksums_bench target" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
file="${work}/random.bin"
head -c $((64 << 20)) /dev/urandom >"${file}"
cat "${file}" >/dev/null  # warm the page cache

best=""
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  sha256sum "${file}" >/dev/null
  elapsed=$(( $(date +%s%N) - start ))
  if [[ -z "${best}" || ${elapsed} -lt ${best} ]]; then best=${elapsed}; fi
done
awk -v ns="${best}" 'BEGIN {
  printf "sha256sum, 64 MB file: best of 5 = %.1f ms (%.0f MB/s)\n", ns / 1e6, 64 * 1e9 / ns
}'

"${bench}" --benchmark_filter='Sha256' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true
