#!/usr/bin/env bash
# Builds the call video fuzzer with clang in its own build tree and runs it for a bounded time.
# Usage: run_fuzz.sh <repository root> <build dir> [seconds]. Fails on any crash, leak,
# sanitizer report, timeout or out-of-memory of the fuzzer.
set -euo pipefail
root=$1
build=$2
seconds=${3:-20}

cmake -S "$root/tests/runtime/callstream/fuzz" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_ROOT="$root" >/dev/null
cmake --build "$build" -j2

# The corpus grows across runs of the same build tree; crash inputs land in artifacts/.
# A smaller quarantine keeps the many short-lived codec buffers from swamping the run.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
mkdir -p "$build/corpus" "$build/artifacts"
exec "$build/callstream_fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$build/corpus"
