#!/usr/bin/env bash
# The slow checks of the file handling, run against a built bexulo-cli with its demo database:
#  1. kill -9 at random moments of `build --msu` over an existing set: wherever the .msu marker
#     is present, the ROM and every track are of one save (all old or all new);
#  2. concurrent `apply` runs writing one output: one complete result is left, never none;
#  3. `build --msu` failing at its third track: the old set stays, nothing new appears;
#  4. a FIFO given as input is refused at once instead of blocking.
# Prints one line per check and fails when any check fails.
# Usage: scripts/file_safety.sh [BUILD_DIR] [ROUNDS]   (default out/release and 40)
set -uo pipefail
cd "$(dirname "$0")/.."

build="${1:-out/release}"
rounds="${2:-40}"
cli="${build}/bexulo-cli"
nes="${build}/demo/Bexulo Demo Quest (World).nes"
games="${build}/games"
[ -x "${cli}" ] || { echo "no ${cli}: build it first (scripts/run.sh)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT
failures=0
report() {  # NAME BAD
  if [ "$2" -eq 0 ]; then echo "ok    $1"; else echo "FAIL  $1 ($2 bad)"; failures=$((failures + 1)); fi
}

for i in 1 2 3; do sox -n -r 48000 -c 2 -b 16 "${work}/a${i}.wav" synth 3 sine $((200 * i)) 2>/dev/null; done
msu=(--msu 1="${work}/a1.wav" --msu 2="${work}/a2.wav" --msu 3="${work}/a3.wav")
# Two complete saves to compare against: A (palette 1) and B (palette 2); the time one takes
# sets the range of the kill moments.
start=$(date +%s%N)
for save in A B; do
  mkdir "${work}/${save}"
  palette=1; [ "${save}" = B ] && palette=2
  "${cli}" build "${nes}" -o "${work}/${save}/x.sfc" --games "${games}" --palette ${palette} \
    "${msu[@]}" >/dev/null || exit 1
done
span_ms=$(( ($(date +%s%N) - start) / 2000000 + 1 ))
same_as() {  # DIR SAVE: whether the ROM and the tracks in DIR are those of SAVE
  for f in x.sfc x-1.pcm x-2.pcm x-3.pcm; do cmp -s "$1/$f" "${work}/$2/$f" || return 1; done
}

# 1. kill -9 during build over save A.
bad=0
for ((i = 0; i < rounds; i++)); do
  d="${work}/kill"; rm -rf "$d"; cp -r "${work}/A" "$d"
  "${cli}" build "${nes}" -o "$d/x.sfc" --games "${games}" --palette 2 "${msu[@]}" >/dev/null 2>&1 &
  pid=$!
  kill_ms=$(( (RANDOM * 32768 + RANDOM) % span_ms ))
  sleep "$((kill_ms / 1000)).$(printf "%03d" $((kill_ms % 1000)))"
  kill -9 "${pid}" 2>/dev/null; wait "${pid}" 2>/dev/null
  if [ -e "$d/x.msu" ] && ! same_as "$d" A && ! same_as "$d" B; then bad=$((bad + 1)); fi
done
report "kill -9 during build: a present marker means one complete save (${rounds} runs)" "${bad}"

# 2. concurrent apply into one output.
"${cli}" create "${nes}" "${work}/A/x.sfc" -o "${work}/pa.bps" >/dev/null
"${cli}" create "${nes}" "${work}/B/x.sfc" -o "${work}/pb.bps" >/dev/null
bad=0
for ((i = 0; i < rounds; i++)); do
  echo old >"${work}/o.sfc"
  "${cli}" apply "${work}/pa.bps" "${nes}" -o "${work}/o.sfc" >/dev/null 2>&1 &
  "${cli}" apply "${work}/pb.bps" "${nes}" -o "${work}/o.sfc" >/dev/null 2>&1
  wait
  cmp -s "${work}/o.sfc" "${work}/A/x.sfc" || cmp -s "${work}/o.sfc" "${work}/B/x.sfc" || bad=$((bad + 1))
done
report "concurrent apply: one complete output left (${rounds} pairs)" "${bad}"

# 3. build failing at the third track.
d="${work}/partial"; cp -r "${work}/A" "$d"; rm "$d/x-3.pcm"; mkdir "$d/x-3.pcm"
before=$(cd "$d" && ls -A && md5sum x.sfc x-1.pcm x-2.pcm x.msu)
"${cli}" build "${nes}" -o "$d/x.sfc" --games "${games}" "${msu[@]}" >/dev/null 2>&1
status=$?
after=$(cd "$d" && ls -A && md5sum x.sfc x-1.pcm x-2.pcm x.msu)
bad=0; [ "${status}" -eq 1 ] && [ "${before}" = "${after}" ] || bad=1
report "build failing at a track: exit 1 and the old set unchanged" "${bad}"

# 4. a FIFO as input.
mkfifo "${work}/fifo.nes"
timeout 5 "${cli}" info "${work}/fifo.nes" >/dev/null 2>&1
status=$?
bad=0; [ "${status}" -eq 1 ] || bad=1
report "FIFO input refused at once (exit ${status})" "${bad}"

[ "${failures}" -eq 0 ]
