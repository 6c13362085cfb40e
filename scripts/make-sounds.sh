#!/usr/bin/env bash
# Regenerates the move sounds in resources/sounds/ from scratch. Each is
# synthesised here, short (under half a second) and small; the build uses the
# committed files and does not need sox. Needs: sox, libsox-fmt-base (Ogg Vorbis).
set -euo pipefail
cd "$(dirname "$0")/.."

out=resources/sounds
mkdir -p "$out"

# name, then the sox effects chain that makes it from silence.
make_sound() {
    local name=$1
    shift
    sox -q -n -r 22050 -c 1 -t ogg -C 2 "$out/$name.oga" "$@" gain -n -3
}

# A hollow, breathy tone: a low sine beating against a fifth, with a soft
# attack and a long tail.
make_sound Bottle synth 0.34 sine 392 sine 588 remix 1v0.8,2v0.2 \
    tremolo 22 25 fade q 0.03 0.34 0.22
# A struck glass: two inharmonic partials ringing down.
make_sound Glass synth 0.45 sine 1568 sine 4180 remix 1v0.7,2v0.3 \
    fade 0 0.45 0.44
# A clean high ping with an exponential-looking decay.
make_sound Ping synth 0.30 sine 1320 fade l 0 0.30 0.29
# A short downward sweep: a bubble popping.
make_sound Pop synth 0.08 sine 700-140 fade 0.004 0.08 0.06
# A low rumble: a filtered square wave under a fast tremolo.
make_sound Purr synth 0.40 square 55 gain -8 lowpass 500 tremolo 19 90 fade q 0.05 0.40 0.12
# A tiny metallic tick.
make_sound Tink synth 0.12 triangle 2637 fade 0 0.12 0.115

ls -l "$out"
