#!/usr/bin/env bash
# Builds the WAV header walk's fuzz target with clang (libFuzzer, AddressSanitizer, UBSan) and
# runs it for a while. CTest replays the seeds only (fuzz_replay_*); -DKELVAR_FUZZ=ON with clang
# builds the target from CMake as well.
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
# Starting inputs: the seeds the tests replay (a PCM file with a LIST chunk, a compressed one).
cp "$here"/seeds/*.wav "$out/seeds-wav/"
status=0
"$out/FuzzWAVTag" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/FuzzWAVTag-" "$out/corpus-FuzzWAVTag" "$out/seeds-wav" > "$out/FuzzWAVTag.log" 2>&1 || status=1
rm -f /dev/shm/kelvar-fuzz-wav-*
echo "FuzzWAVTag: $(grep -E 'Done [0-9]+ runs|ERROR|SUMMARY' "$out/FuzzWAVTag.log" | tail -1)"
exit $status
