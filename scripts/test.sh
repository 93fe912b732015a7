#!/usr/bin/env bash
# Installs what is missing, builds with address and undefined-behaviour sanitizers into
# out/test and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# Clang compiles this build in about half the time GCC takes (most of it is parsing Qt and
# GoogleTest headers and generating unoptimised code); a release build keeps the system's
# default compiler.
cmake -S . -B out/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTBP_SANITIZE=ON -DTBP_BUILD_BENCH=OFF \
  -DTBP_LINE_TABLES_ONLY=ON -DTBP_UNITY=ON -DCMAKE_CXX_COMPILER=clang++
# As many compile jobs as cores: more only make them fight over the caches and memory.
cmake --build out/test --parallel "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd out/test
ctest --output-on-failure --parallel "$(nproc)"
