#!/usr/bin/env bash
# Installs what is missing, builds a release into out/release and starts the patcher on the
# demo game database. Without a display the window runs offscreen and saves its pictures to
# out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B out/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTBP_BUILD_TESTS=OFF -DTBP_BUILD_BENCH=OFF
cmake --build out/release --parallel

program=out/release/bexulo-patcher
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

mkdir -p out/demo
echo "No display: starting the patcher on a virtual screen and saving screenshots to out/demo/"
# The automation run opens a demo ROM, grabs every tab and quits; without a demo ROM a
# screenshot of the whole virtual screen is taken instead.
demo_rom=$(ls "$PWD"/out/release/demo/*.nes 2>/dev/null | head -n 1 || true)
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -u
  if [ -n "$1" ]; then
    TBP_SHOT="$2/shot" TBP_LOAD="$1" timeout 120 "$3"
  fi
  TBP_NOSPLASH=1 "$3" & pid=$!
  sleep 4
  import -window root "$2/window.png"
  kill "$pid"
' run "$demo_rom" "$PWD/out/demo" "$PWD/$program"
ls -1 out/demo
