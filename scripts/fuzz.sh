#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (address and undefined-behaviour sanitizers) into
# out/fuzz and runs each one in turn for SECONDS (default 60), starting from its committed seeds
# and reproducers. New inputs collect in out/fuzz/corpus/<harness>/; an input that breaks a
# harness is saved in out/fuzz/findings/<harness>/. Prints executions and findings per harness
# and fails when any harness found something.
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true

scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B out/fuzz "${launcher[@]}" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DTBP_FUZZ=ON -DTBP_BUILD_TESTS=OFF -DTBP_BUILD_BENCH=OFF >/dev/null
cmake --build out/fuzz --target fuzz_harnesses

if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for source in tests/fuzz/*.cpp; do harnesses+=("$(basename "${source}" .cpp)"); done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
summary=()
failed=0
for harness in "${harnesses[@]}"; do
  corpus="out/fuzz/corpus/${harness}"
  findings="out/fuzz/findings/${harness}"
  log="out/fuzz/${harness}.log"
  mkdir -p "${corpus}" "${findings}"
  echo "== ${harness}: ${seconds} s"
  stamp="out/fuzz/${harness}.started"
  touch "${stamp}"
  status=0
  # One process, no forks: the machine is shared. 2 GB and 10 s per input are far beyond
  # what any legitimate small input needs.
  "out/fuzz/tests/fuzz/fuzz_${harness}" -max_total_time="${seconds}" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="${findings}/" -print_final_stats=1 \
    "${corpus}" "tests/fuzz/corpus/${harness}" "tests/fuzz/regressions/${harness}" \
    >"${log}" 2>&1 || status=$?
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "${log}")
  # Only this run's findings count. Slow units are only noted: on a busy machine their time
  # says little.
  found=$(find "${findings}" -type f -newer "${stamp}" ! -name 'slow-unit-*' | wc -l)
  if [ "${status}" -ne 0 ]; then
    failed=1
    tail -n 30 "${log}"
  fi
  summary+=("$(printf '%-14s %12s executions  %3s findings  exit %s' "${harness}" "${runs:-?}" "${found}" "${status}")")
done

echo
printf '%s\n' "${summary[@]}"
exit "${failed}"
