#!/usr/bin/env bash
# Builds the tag parsers' fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) and runs
# each for a while. CTest replays the seeds only (fuzz_replay_*); -DKELVAR_FUZZ=ON with clang builds
# the targets from CMake as well.
#   tests/media/tags/fuzz/run-fuzz.sh [seconds per target, default 600] [target...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../../.." && pwd)"
out="${KELVAR_FUZZ_DIR:-$root/build-fuzz}"
seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(FuzzID3v1 FuzzID3v2 FuzzMPEGaudio FuzzVorbisComments)

mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root")
libs=($(pkg-config --libs ogg vorbis vorbisfile pugixml))
sources=("$root"/media/tags/*.cpp "$root"/foundation/*.cpp)
for t in "${targets[@]}"; do
  clang++ "${flags[@]}" "$here/$t.cpp" "${sources[@]}" "${libs[@]}" -lpthread -o "$out/$t"
done
# Starting inputs from the tests' fixtures.
clang++ -std=c++20 -O1 -I"$root" -I"$root/tests" "$here/MakeSeeds.cpp" "$here/../TagFixtures.cpp" \
    "$root/media/tags/VCEdit.cpp" $(pkg-config --libs vorbisenc vorbisfile vorbis ogg) -lm -o "$out/MakeSeeds"
mkdir -p "$out/seeds"
"$out/MakeSeeds" "$out/seeds"
pids=()
for t in "${targets[@]}"; do
  mkdir -p "$out/corpus-$t"
  "$out/$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$out/$t-" "$out/corpus-$t" "$out/seeds" > "$out/$t.log" 2>&1 &
  pids+=($!)
done
status=0
for p in "${pids[@]}"; do
  wait "$p" || status=1
  rm -f "/dev/shm/kelvar-fuzz-$p"  # the input file each target writes
done
for t in "${targets[@]}"; do
  echo "$t: $(grep -E 'Done [0-9]+ runs|ERROR|SUMMARY' "$out/$t.log" | tail -1)"
done
exit $status
