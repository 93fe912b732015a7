#!/usr/bin/env bash
# Times the track maker's tools as whole runs of bexulo-cli on three minutes of 48 kHz stereo
# audio that loops: the loop search (WAV and MP3, decoding included), and a build with one
# track plain and with matched loudness (the measuring's share of the conversion), side by side
# under hyperfine. Prints the machine's load, each median, and each run's peak memory against
# the conversion's budget (input + track + 32 MiB).
# Usage: bench/track_tools.sh [release build directory, default out/rel] [runs, default 5]
# The build directory needs the targets bexulo-cli and demo_database; sox, lame, hyperfine and
# GNU time must be installed.
set -euo pipefail

build_dir="$(realpath "${1:-out/rel}")"
runs="${2:-5}"
cli="${build_dir}/bexulo-cli"
nes="${build_dir}/demo/Bexulo Demo Quest (World).nes"
for tool in sox lame hyperfine python3 /usr/bin/time; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done
if [[ ! -x "${cli}" || ! -f "${nes}" ]]; then
  echo "missing ${cli} or the demo database: build the bexulo-cli and demo_database targets" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
cd "${work}"
# An intro of 7 s, then a 43 s passage four times: 179 s in all.
sox -n -r 48000 -c 2 -b 16 intro.wav synth 7 pinknoise gain -12
sox -n -r 48000 -c 2 -b 16 passage.wav synth 43 sine 200-3000 brownnoise tremolo 3 60 gain -9
sox intro.wav passage.wav passage.wav passage.wav passage.wav song.wav
lame --quiet -b 192 song.wav song.mp3

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "suggestion (WAV): $("${cli}" loop song.wav)"
echo "suggestion (MP3): $("${cli}" loop song.mp3)   (seamless: 50.000, 93.000, 136.000 s)"

build=("${cli}" build "${nes}" --games "${build_dir}/games" -o out.sfc)
build_line="$(printf '%q ' "${build[@]}")"  # for hyperfine, which splits on blanks
hyperfine -N --style none --warmup 1 --runs "${runs}" --export-json times.json \
  -n "loop song.wav" "${cli} loop song.wav" \
  -n "loop song.mp3" "${cli} loop song.mp3" \
  -n "build, plain track" "${build_line} --msu 1=song.wav@off" \
  -n "build, matched loudness" "${build_line} --msu 1=song.wav@off --loudness -20" \
  >/dev/null 2>&1 || { echo "a command failed; run it by hand to see why" >&2; exit 1; }

peak() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1; }
peaks=("$(peak "${cli}" loop song.wav)" "$(peak "${cli}" loop song.mp3)"
       "$(peak "${build[@]}" --msu 1=song.wav@off)"
       "$(peak "${build[@]}" --msu 1=song.wav@off --loudness -20)")
budget=$(( ($(stat -c %s song.wav) + $(stat -c %s out-1.pcm)) / 1048576 + 32 ))
python3 - times.json "${budget}" "${peaks[@]}" <<'PY'
import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
budget, peaks = int(sys.argv[2]), [int(kb) / 1024 for kb in sys.argv[3:]]
medians = []
cpus = []
print(f"{'':26} {'median s':>9} {'min s':>7} {'cpu s':>7} {'peak MiB':>9} {'budget MiB':>11}")
for result, peak in zip(results, peaks):
    median = statistics.median(result["times"])
    cpu = result["user"] + result["system"]
    medians.append(median)
    cpus.append(cpu)
    print(f"{result['command']:26} {median:9.3f} {min(result['times']):7.3f} {cpu:7.3f} {peak:9.1f}"
          f" {budget:11d}")
print(f"matched loudness adds {100 * (medians[3] / medians[2] - 1):.1f} % to the build's time"
      f" ({100 * (cpus[3] / cpus[2] - 1):.1f} % to its processor time)")
PY
