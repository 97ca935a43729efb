#!/usr/bin/env bash
# Speaks the two test utterances of the voice tests with espeak-ng and
# converts them with sox to 16 kHz mono 16-bit WAV files:
#   caller_speech.wav   the caller's voice (what the far end must hear)
#   callee_speech.wav   the callee's own talk (near-end speech in the echo test)
# Usage: make_speech.sh [OUTPUT_DIR]   (default: tests/audio/data of the tree)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../tests/audio/data}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

speak() {  # voice, text, output name
  espeak-ng -v "$1" -s 165 -w "$tmp/raw.wav" "$2"
  sox -D "$tmp/raw.wav" -r 16000 -c 1 -b 16 -e signed-integer "$out/$3" norm -3
  echo "$out/$3: $(soxi -D "$out/$3") s"
}

speak en-us "Hello, this is the caller speaking, can you hear me?" caller_speech.wav
speak en-gb+f3 "Yes, I hear you well." callee_speech.wav
