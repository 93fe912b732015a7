#!/usr/bin/env bash
# The track rows against SoX, as whole processes side by side under hyperfine (file writing
# included): a build with one 3-minute 48 kHz WAV track, with one 10-minute WAV and one
# 10-minute MP3 track, each against `sox IN -r 44100 -b 16 out.wav`; and a build with eight
# 3-minute MP3 tracks against eight SoX runs two at a time. Prints the machine's load, the
# medians, the processor times, their ratios (ours / SoX, below 1 is faster) and the peak
# memory of each (the goal for a track: at most 32 MiB whatever its length).
# Usage: bench/compare_msu_sox.sh [release build directory, default out/rel] [runs, default 5]
# The build directory needs the targets bexulo-cli and demo_database; sox, lame, hyperfine,
# python3 and GNU time must be installed.
set -euo pipefail

build_dir="$(realpath "${1:-out/rel}")"
runs="${2:-5}"
cli="${build_dir}/bexulo-cli"
quest="${build_dir}/demo/Bexulo Demo Quest (World).nes"
castle="${build_dir}/demo/Bexulo Demo Castle (DiskDude).nes"  # a port with eight songs
for tool in sox lame hyperfine python3 /usr/bin/time; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done
if [[ ! -x "${cli}" || ! -f "${quest}" || ! -f "${castle}" ]]; then
  echo "missing ${cli} or the demo database: build the bexulo-cli and demo_database targets" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
cd "${work}"
# A frequency sweep on the left and pink noise on the right: enough detail that the encoder
# produces a typical bit rate.
sox -n -r 48000 -c 2 -b 16 song.wav synth 180 sine 100-8000 pinknoise gain -6
sox -n -r 48000 -c 2 -b 16 long.wav synth 600 sine 100-8000 pinknoise gain -6
lame --quiet -b 192 song.wav song.mp3
lame --quiet -b 192 long.wav long.mp3
songs=(1 2 3 5 10 11 31 32)
eight=()
for song in "${songs[@]}"; do
  cp song.mp3 "song${song}.mp3"
  eight+=(--msu "${song}=song${song}.mp3@off")
done

q() { printf '%q ' "$@"; }  # a command line for hyperfine, which splits on blanks
build_quest="$(q "${cli}" build "${quest}" --games "${build_dir}/games" -o quest.sfc)"
build_castle="$(q "${cli}" build "${castle}" --games "${build_dir}/games" -o castle.sfc "${eight[@]}")"
sox_eight="printf '%s\\n' ${songs[*]} | xargs -P 2 -I N sox songN.mp3 -r 44100 -b 16 soxN.wav"
rows=("3-min WAV" "${build_quest} --msu 1=song.wav@off" "sox song.wav -r 44100 -b 16 sox.wav"
      "10-min WAV" "${build_quest} --msu 1=long.wav@off" "sox long.wav -r 44100 -b 16 sox.wav"
      "10-min MP3" "${build_quest} --msu 1=long.mp3@off" "sox long.mp3 -r 44100 -b 16 sox.wav"
      "8 x 3-min MP3" "${build_castle}" "bash -c \"${sox_eight}\"")

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
printf '%-14s %8s %8s %6s %8s %8s %6s %9s %9s\n' row "ours s" "sox s" ratio "ours cpu" \
  "sox cpu" ratio "ours MiB" "sox MiB"
for ((i = 0; i < ${#rows[@]}; i += 3)); do
  name="${rows[i]}" ours="${rows[i + 1]}" peer="${rows[i + 2]}"
  hyperfine -N --style none --warmup 1 --runs "${runs}" --export-json times.json "${ours}" \
    "${peer}" >/dev/null 2>&1 || { echo "${name}: a command failed; run it by hand" >&2; exit 1; }
  ours_kb=$(eval "/usr/bin/time -f '%M' ${ours}" 2>&1 >/dev/null | tail -1)
  peer_kb=$(eval "/usr/bin/time -f '%M' ${peer}" 2>&1 >/dev/null | tail -1)
  python3 - "${name}" "${ours_kb}" "${peer_kb}" <<'PY'
import json, statistics, sys
ours, peer = json.load(open("times.json"))["results"]
wall = [statistics.median(r["times"]) for r in (ours, peer)]
cpu = [r["user"] + r["system"] for r in (ours, peer)]
print(f"{sys.argv[1]:14} {wall[0]:8.3f} {wall[1]:8.3f} {wall[0] / wall[1]:6.2f} {cpu[0]:8.3f}"
      f" {cpu[1]:8.3f} {cpu[0] / cpu[1]:6.2f} {int(sys.argv[2]) / 1024:9.1f}"
      f" {int(sys.argv[3]) / 1024:9.1f}")
PY
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) after"
