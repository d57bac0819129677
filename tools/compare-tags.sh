#!/bin/sh
# Reads a folder of a few thousand small MP3 and Ogg Vorbis files with kelvar-tags and with the
# TagLib yardstick in one run; fails when kelvar-tags reads fewer files per second.
#   tools/compare-tags.sh BUILD-DIR [COUNT]
set -eu
build=${1:?usage: compare-tags.sh BUILD-DIR [COUNT]}
count=${2:-4000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/kelvar-tag-corpus" "$work/corpus" "$count"
# A warm-up pass, so both read from the page cache.
"$build/tools/taglib-tags" "$work/corpus" >/dev/null 2>&1
"$build/tools/kelvar-tags" "$work/corpus" >/dev/null 2>"$work/kelvar.err"
"$build/tools/taglib-tags" "$work/corpus" >/dev/null 2>"$work/taglib.err"
k=$(sed -n 's/.*files_per_second=\([0-9.]*\).*/\1/p' "$work/kelvar.err" | tail -n 1)
t=$(sed -n 's/.*files_per_second=\([0-9.]*\).*/\1/p' "$work/taglib.err" | tail -n 1)
echo "kelvar-tags: $k files/s; taglib-tags: $t files/s ($count files)"
awk -v k="$k" -v t="$t" 'BEGIN { exit !(k >= t) }'
