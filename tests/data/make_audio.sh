#!/bin/sh
# Makes the small compressed audio files the tests decode, from generated tones.
# Run once; the results are committed. Needs python3, lame, vorbis-tools (oggenc) and flac.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tone RATE CHANNELS SECONDS OUT [BYTES]: sine tones at half scale (16-bit unless BYTES is 3),
# 440 Hz on the first channel, 660 Hz on the second, 220 Hz higher on each further one.
tone() {
  python3 - "$@" <<'PY'
import math, struct, sys, wave
rate, channels, seconds, out = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
width = int(sys.argv[5]) if len(sys.argv) > 5 else 2
half = 1 << (8 * width - 2)
frames = int(rate * seconds)
with wave.open(out, "wb") as w:
    w.setnchannels(channels)
    w.setsampwidth(width)
    w.setframerate(rate)
    data = bytearray()
    for i in range(frames):
        for c in range(channels):
            f = 440.0 + 220.0 * c
            value = round(half * math.sin(2 * math.pi * f * i / rate))
            data += (value & ((1 << (8 * width)) - 1)).to_bytes(width, "little")
    w.writeframes(bytes(data))
PY
}

tone 44100 2 1.0 "$work/stereo44.wav"
lame --quiet -b 128 --resample 44.1 "$work/stereo44.wav" tone.mp3

tone 48000 2 2.0 "$work/stereo48.wav"
oggenc --quiet -q 0 -o tone.ogg "$work/stereo48.wav"

tone 16000 1 1.0 "$work/mono16.wav"
flac --silent --force -o tone.flac "$work/mono16.wav"

tone 8000 2 0.25 "$work/stereo8.wav" 3
flac --silent --force -o tone24.flac "$work/stereo8.wav"

# One second at 8 kHz mono, without a header frame or bit reservoir, so that its frames can
# be repeated into an arbitrarily long stream.
tone 8000 1 1.0 "$work/mono8.wav"
lame --quiet -t --nores -m m -b 8 "$work/mono8.wav" frames8k.mp3

# A quarter second of 22.05 kHz mono: appended to the 8 kHz frames it makes a stream whose
# rate changes part-way.
tone 22050 1 0.25 "$work/mono22.wav"
lame --quiet -m m -b 32 "$work/mono22.wav" mono22k.mp3

# A tenth of a second with nine channels: more than a track may have.
tone 8000 9 0.1 "$work/nine8.wav"
oggenc --quiet -q 0 -o nine.ogg "$work/nine8.wav"
