#!/bin/sh
# Makes Tunorva's two sounds with sox (Debian package "sox"); run from the
# repository's top folder: sh src/resources/artwork/make-sounds.sh
#   Start.wav       a rising three-note chime (C5 E5 G5, then C6) played at start-up
#   NewMp3Found.wav a short soft two-tone blip played when a new MP3 link is found
set -e
out=src/resources/sounds
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fmt="-r 22050 -c 1 -b 16"

# One bell-like note: a sine with a quieter octave above it and a quick decay.
note() { # name frequency length delay
    sox -n $fmt "$tmp/$1-a.wav" synth "$3" sine "$2" fade q 0.004 "$3" "$3"
    sox -n $fmt "$tmp/$1-b.wav" synth "$3" sine "$(echo "$2 * 2" | bc -l)" fade q 0.004 "$3" "$3" vol 0.25
    sox -m "$tmp/$1-a.wav" "$tmp/$1-b.wav" "$tmp/$1-m.wav"
    sox "$tmp/$1-m.wav" "$tmp/$1.wav" fade q 0 "$3" "$(echo "$3 * 0.85" | bc -l)" pad "$4" 0
}
note c5 523.25 0.30 0.00
note e5 659.25 0.30 0.09
note g5 783.99 0.30 0.18
note c6 1046.50 0.42 0.27
sox -m -v 0.6 "$tmp/c5.wav" -v 0.6 "$tmp/e5.wav" -v 0.6 "$tmp/g5.wav" -v 0.55 "$tmp/c6.wav" "$tmp/start.wav"
sox "$tmp/start.wav" $fmt "$out/Start.wav" pad 0 0.06 reverb 20 50 40 gain -n -3 fade q 0 0.749 0.12

sox -n $fmt "$tmp/b1.wav" synth 0.07 sine 880 fade h 0.005 0.07 0.04
sox -n $fmt "$tmp/b2.wav" synth 0.12 sine 1318.5 fade h 0.005 0.12 0.09
sox "$tmp/b1.wav" "$tmp/b2.wav" "$tmp/blip.wav"
sox "$tmp/blip.wav" $fmt "$out/NewMp3Found.wav" gain -n -6 fade q 0 0.189 0.05
