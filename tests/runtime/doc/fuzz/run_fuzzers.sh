#!/usr/bin/env bash
# Builds the document library's libFuzzer harnesses with clang (separately from the
# main gcc build) and runs each for a bounded time. Fails on any crash or sanitizer report.
set -euo pipefail
root=$1
out=$2
seconds=${3:-25}
mkdir -p "$out"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I$root"
libs="$(pkg-config --libs libsodium zlib)"
mkdir -p "$out/obj"
# Objects are rebuilt when their source or any header of the library is newer.
newest_header=$(ls -t "$root"/runtime/doc/*.h | head -1)
for src in "$root"/runtime/doc/*.cc "$root"/tests/runtime/doc/fuzz/fuzz_*.cc; do
  obj="$out/obj/$(basename "$src" .cc).o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ "$newest_header" -nt "$obj" ]; then
    echo "$src $obj"
  fi
done | xargs -r -n 2 -P "$(nproc)" sh -c 'clang++ '"$flags"' -c "$0" -o "$1"'
lib_objs=$(ls "$out"/obj/*.o | grep -v '/fuzz_')
for h in load sync; do
  clang++ -fsanitize=fuzzer,address,undefined $lib_objs "$out/obj/fuzz_$h.o" $libs -o "$out/fuzz_$h"
done
for h in load sync; do
  mkdir -p "$out/corpus_$h"
  cp "$root"/tests/runtime/doc/fuzz/seeds/* "$out/corpus_$h/" 2>/dev/null || true
  (cd "$out" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1 \
    "./fuzz_$h" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 "corpus_$h" 2>&1 | tail -5)
done
echo "fuzzers finished without findings"
