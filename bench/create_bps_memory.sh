#!/usr/bin/env bash
# Peak resident memory of createBps for 4, 16 and 64 MB sources, whole process, as
# /usr/bin/time -v reports it; the line "inputs only" is the same program stopped before the
# patch is created, so the difference is what the patch creation itself needs.
# Usage: bench/create_bps_memory.sh [release build directory, default out/rel]
set -euo pipefail

build_dir="${1:-out/rel}"
program="${build_dir}/bench/create_bps_memory"
if [[ ! -x "${program}" ]]; then
  echo "missing ${program}: configure a Release build with benchmarks and build create_bps_memory" >&2
  exit 1
fi

peak_mib() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }'
}

printf "%-8s %14s %14s %14s %10s\n" source "inputs (MiB)" "peak (MiB)" "createBps" "B/src B"
for mb in 4 16 64; do
  inputs=$(peak_mib "${program}" "${mb}" --inputs-only)
  peak=$(peak_mib "${program}" "${mb}")
  awk -v mb="${mb}" -v inputs="${inputs}" -v peak="${peak}" 'BEGIN {
    printf "%-8s %14d %14d %14d %10.1f\n", mb " MB", inputs, peak, peak - inputs, (peak - inputs) / mb
  }'
done
