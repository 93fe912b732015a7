#!/usr/bin/env bash
# Converts three minutes of 48 kHz stereo audio (WAV, FLAC, Ogg Vorbis and MP3) to an MSU-1
# track with msu_convert, and to 44.1 kHz 16-bit WAV with SoX's default (high quality)
# resampler, side by side under hyperfine. Prints each time, the ratio of the two, and the
# peak memory of msu_convert against its budget: the input file plus the track plus 32 MiB.
# Usage: bench/compare_msu_sox.sh [release build directory, default build-rel] [runs, default 10]
# Needs sox, hyperfine, flac, vorbis-tools (oggenc), lame and GNU time.
set -euo pipefail

build_dir="${1:-build-rel}"
runs="${2:-10}"
convert="$(realpath "${build_dir}/bench/msu_convert" 2>/dev/null || true)"
if [[ ! -x "${convert}" ]]; then
  echo "missing ${build_dir}/bench/msu_convert: configure a Release build and build msu_convert" >&2
  exit 1
fi
for tool in sox hyperfine flac oggenc lame /usr/bin/time; do
  command -v "${tool}" >/dev/null || { echo "missing ${tool}" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
cd "${work}"

# A frequency sweep on the left and pink noise on the right: enough detail that the encoders
# produce typical bit rates.
sox -n -r 48000 -c 2 -b 16 in.wav synth 180 sine 100-8000 pinknoise gain -6
flac --silent --force -o in.flac in.wav
oggenc --quiet -q 5 -o in.ogg in.wav
lame --quiet -b 192 in.wav in.mp3

printf '%-5s %12s %12s %7s %9s %9s %7s %10s %10s\n' format "track s" "sox s" ratio \
  "track cpu" "sox cpu" ratio "peak MiB" "budget MiB"
for format in wav flac ogg mp3; do
  input="in.${format}"
  hyperfine --style none --warmup 1 --runs "${runs}" --export-csv "${format}.csv" \
    "${convert} ${input} out.pcm" "sox ${input} -r 44100 -b 16 out.wav" >/dev/null
  peak_kb=$(/usr/bin/time -f '%M' "${convert}" "${input}" out.pcm 2>&1 >/dev/null | tail -1)
  input_bytes=$(stat -c %s "${input}")
  track_bytes=$(stat -c %s out.pcm)
  # CSV rows: command, mean, stddev, median, user, system, min, max (seconds).
  awk -F, -v format="${format}" -v peak_kb="${peak_kb}" -v input="${input_bytes}" \
    -v track="${track_bytes}" 'NR == 2 { tm = $2; tc = $5 + $6 } NR == 3 { sm = $2; sc = $5 + $6 }
    END {
      budget = (input + track) / 1048576 + 32
      printf "%-5s %12.3f %12.3f %7.2f %9.3f %9.3f %7.2f %10.1f %10.1f\n", format, tm, sm, tm / sm,
        tc, sc, tc / sc, peak_kb / 1024, budget
    }' "${format}.csv"
done
