#!/usr/bin/env bash
# Checks by ear, without ears, what "Listen" on the Music page plays: the window runs on a
# virtual screen with a sound server whose only output is a null sink, presses Listen for a
# looping and for a non-looping song, and the sink's monitor is recorded. Each recording must
# hold the seam exactly as the console plays the converted track: its last 3 seconds, then (for a
# looping song) 3 seconds from the loop point. The converted track comes from bexulo-cli build
# with the same choices, and the seam is cut from it here, independently of the program.
#
# Usage: scripts/listen_check.sh [release build directory, default out/rel]
# Needs, besides the build (bexulo-patcher, bexulo-cli, demo_database): xvfb-run, sox, python3,
# and a PulseAudio server with its tools (Debian: pulseaudio pulseaudio-utils). These are for
# this check only; building and testing the program does not need them.
set -euo pipefail

build_dir="$(realpath "${1:-out/rel}")"
patcher="${build_dir}/bexulo-patcher"
cli="${build_dir}/bexulo-cli"
nes="${build_dir}/demo/Bexulo Demo Quest (World).nes"
for tool in pulseaudio pactl parec xvfb-run sox python3; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done
[[ -x "${patcher}" && -x "${cli}" && -f "${nes}" ]] || {
  echo "missing the patcher, bexulo-cli or the demo database in ${build_dir}" >&2; exit 1; }

work="$(mktemp -d)"
server=""
cleanup() {
  [[ -n "${server}" ]] && kill "${server}" 2>/dev/null && wait "${server}" 2>/dev/null
  rm -rf "${work}"
}
trap cleanup EXIT
# The sound server, the window's settings and the recordings all stay in the scratch folder.
export HOME="${work}/home" XDG_RUNTIME_DIR="${work}/run" PULSE_RUNTIME_PATH="${work}/run/pulse"
mkdir -p "${HOME}" "${PULSE_RUNTIME_PATH}"
chmod 700 "${XDG_RUNTIME_DIR}"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-level=error \
  --load="module-native-protocol-unix" \
  --load="module-null-sink sink_name=listen_check format=s16le rate=44100 channels=2" \
  2>"${work}/pulseaudio.log" &
server=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink listen_check

cd "${work}"
# A song of 12 s that never falls silent, so that every part of the seam shows in a recording.
sox -n -r 48000 -c 2 -b 16 song.wav synth 12 sine 300-1200 sine 500 tremolo 3 40 gain -6
cat >music.json <<'JSON'
{"format": "TEAM Bexulo Patcher settings", "version": 1,
 "msu1": [{"song": 1, "file": "song.wav", "loop": true, "loop_start": 4.5},
          {"song": 11, "file": "song.wav", "loop": false, "loop_start": 0}]}
JSON
"${cli}" build "${nes}" --games "${build_dir}/games" -o port.sfc \
  --msu 1=song.wav@4.5 --msu 11=song.wav@off >/dev/null

status=0
for song in 1 11; do
  parec -d listen_check.monitor --format=s16le --rate=44100 --channels=2 --raw >"rec-${song}.raw" &
  recorder=$!
  # The recording must run before the window plays: wait for a fifth of a second of it.
  for _ in $(seq 100); do
    (( $(stat -c %s "rec-${song}.raw") > 35280 )) && break
    sleep 0.1
  done
  TBP_NOSPLASH=1 TBP_LISTEN="${song}" TBP_SETTINGS="${work}/music.json" TBP_SHOT="${work}/shot" \
    TBP_LOAD="${nes}" timeout 120 xvfb-run -a "${patcher}" 2>"window-${song}.log" || true
  sleep 0.5
  kill "${recorder}"; wait "${recorder}" 2>/dev/null || true
  grep -h "Listen" "window-${song}.log" >&2 || true
  python3 - "port-${song}.pcm" "rec-${song}.raw" "${song}" <<'PY' || status=1
import struct, sys
from array import array

SEAM = 3 * 44100  # frames on each side of the jump

def frames(data):
    values = array("h")
    values.frombytes(data[: len(data) // 4 * 4])
    return values[0::2], values[1::2]

track = open(sys.argv[1], "rb").read()
assert track[:4] == b"MSU1", "not a track"
loop = struct.unpack("<I", track[4:8])[0]
left, right = frames(track[8:])
loops = sys.argv[3] == "1"
want = list(range(len(left) - SEAM, len(left)))
if loops:
    want += list(range(loop, min(len(left), loop + SEAM)))
wl = [left[i] for i in want]
wr = [right[i] for i in want]
rl, rr = frames(open(sys.argv[2], "rb").read())
# Where the seam starts in the recording: the first loud frame, then the exact offset nearby.
first = next((i for i, v in enumerate(rl) if abs(v) > 2000), None)
if first is None:
    print(f"song {sys.argv[3]}: the recording is silent ({len(rl) / 44100:.1f} s)")
    sys.exit(1)
expected_first = next(i for i, v in enumerate(wl) if abs(v) > 2000)
def misfit(offset):
    return sum(abs(rl[offset + k] - wl[k]) for k in range(0, 4410, 3)
               if 0 <= offset + k < len(rl))
offset = min(range(first - expected_first - 400, first - expected_first + 400), key=misfit)
heard = max(0, min(len(wl), len(rl) - offset))
worst, wrong, blocks = 0, 0, {}
for k in range(heard):
    if offset + k < 0: continue
    d = max(abs(rl[offset + k] - wl[k]), abs(rr[offset + k] - wr[k]))
    worst = max(worst, d)
    if d > 64:
        wrong += 1
        blocks[k // 4410] = blocks.get(k // 4410, 0) + 1
print(f"song {sys.argv[3]}: recorded {len(rl) / 44100:.2f} s, seam {len(wl) / 44100:.2f} s "
      f"({'loops at frame ' + str(loop) if loops else 'no loop'}); heard {heard / 44100:.3f} s "
      f"of it from {offset / 44100:.3f} s, largest difference {worst}, frames off {wrong}")
if blocks:
    print("  frames off per 0.1 s of the seam: " +
          ", ".join(f"{b / 10:.1f} s: {n}" for b, n in sorted(blocks.items())))
ok = heard == len(wl) and wrong == 0
print("  " + ("the seam plays exactly" if ok else "the seam is NOT what the console plays"))
sys.exit(0 if ok else 1)
PY
done
exit "${status}"
