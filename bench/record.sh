#!/usr/bin/env bash
# The screen recorder over a minute: 1280x720 at 15 pictures a second on a private Xvfb, once
# with a moving square and a counter (a typical screen), once with the whole area changing at
# every picture (the most the temporary file takes). Prints the steps dropped (0 expected), the
# recorder's CPU time, the temporary file's size and the peak memory while recording and after
# reading the frames back, and GNU time's view of the whole run.
#
#   bench/record.sh [SECONDS]
#
# Builds record_bench in build/bench-record (Release, no window, no tests) when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/bench-record
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLW_BENCH=ON -DLW_UI=OFF \
    -DLW_TESTS=OFF >/dev/null
fi
nice cmake --build "$build" -j2 --target record_bench >/dev/null
for mode in moving full; do
  /usr/bin/time -f "whole run: %e s wall, %U s user, %S s system, peak RSS %M KiB" \
    "$build/bench/record/record_bench" "$seconds" "$mode"
done
