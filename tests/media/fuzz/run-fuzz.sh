#!/usr/bin/env bash
# Builds the WAV header walk's fuzz target with clang (libFuzzer, AddressSanitizer, UBSan) and
# runs it for a while. Not part of the CTest run.
#   tests/media/fuzz/run-fuzz.sh [seconds, default 600]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
out="${KELVAR_FUZZ_DIR:-$root/build-fuzz}"
seconds="${1:-600}"
mkdir -p "$out/corpus-FuzzWAVTag" "$out/seeds-wav"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root" \
    "$here/FuzzWAVTag.cpp" "$root/media/WAVTag.cpp" "$root"/foundation/*.cpp \
    $(pkg-config --libs pugixml) -lpthread -o "$out/FuzzWAVTag"
# Starting inputs: a PCM file with a LIST chunk, and a compressed one.
printf 'RIFF\x46\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00LIST\x04\x00\x00\x00INFOdata\x10\x00\x00\x00abcdefghijklmnop' \
    > "$out/seeds-wav/pcm.wav"
printf 'RIFF\x30\x00\x00\x00WAVEfmt \x14\x00\x00\x00\x02\x00\x01\x00\x40\x1f\x00\x00\x10\x27\x00\x00\x00\x01\x04\x00\x02\x00\xf4\x01data\x04\x00\x00\x00wxyz' \
    > "$out/seeds-wav/adpcm.wav"
status=0
"$out/FuzzWAVTag" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/FuzzWAVTag-" "$out/corpus-FuzzWAVTag" "$out/seeds-wav" > "$out/FuzzWAVTag.log" 2>&1 || status=1
rm -f /dev/shm/kelvar-fuzz-wav-*
echo "FuzzWAVTag: $(grep -E 'Done [0-9]+ runs|ERROR|SUMMARY' "$out/FuzzWAVTag.log" | tail -1)"
exit $status
