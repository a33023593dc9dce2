#!/usr/bin/env bash
# Builds the libFuzzer programs with clang (build-fuzz/), and only them, and runs each target
# for SECONDS (default 300) over a working copy of its seed corpus in
# build-fuzz/corpus/. Prints each target's executions. A finding stops the
# run with the fuzzer's report and the input that caused it.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh clang libclang-rt-14-dev
SECONDS_EACH=${1:-300}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(template_file escape_text com_reply kb_answers usb_readback)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVASK_FUZZ=ON \
  -DTOVASK_BUILD_GUI=OFF -DTOVASK_BUILD_TESTS=OFF -DTOVASK_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${TARGETS[@]/#/fuzz-}"
for t in "${TARGETS[@]}"; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  cp -n fuzz/corpus/$t/* "$work"/ 2>/dev/null || true
  log=build-fuzz/fuzz-$t.log
  if ! build-fuzz/fuzz/fuzz-$t -max_total_time="$SECONDS_EACH" -max_len=1024 -print_final_stats=1 \
       -artifact_prefix=build-fuzz/ "$work" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz-$t: FINDING (see $log)"
    exit 1
  fi
  echo "fuzz-$t: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log"), no finding"
done
