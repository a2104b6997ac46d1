#!/usr/bin/env bash
# Builds the fuzz target with clang in build-fuzz/ and runs it for SECONDS (default 60), one
# process, on a work corpus that starts from the seeds: the converter's test fixtures, the
# hand-made seeds here and the saved findings. The work corpus (build-fuzz/fuzz-corpus) grows
# from run to run; inputs that fail a check land in build-fuzz/fuzz-findings/. Prints
# libFuzzer's figures and the findings, and fails when there are any.
#
#   tests/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
build=build-fuzz
corpus=$build/fuzz-corpus
findings=$build/fuzz-findings
log=$build/fuzz.log

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DQUILLMAP_FUZZ=ON -DQUILLMAP_TESTS=OFF -DQUILLMAP_BENCH=OFF
cmake --build "$build" --target quillmap_fuzz

mkdir -p "$corpus" "$findings"
cp tests/data/pages/*.html tests/data/samples/*.html tests/fuzz/seeds/* "$corpus"/
for finding in tests/fuzz/regressions/*; do
  if [ -f "$finding" ]; then cp "$finding" "$corpus"/; fi
done

status=0
"$build/bin/quillmap_fuzz" "$corpus" -dict=tests/fuzz/bookmarks.dict -max_len=4096 \
  -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" 2>&1 |
  tee "$log" || status=$?

echo
echo "== fuzz run: $seconds s, log in $log"
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
grep -E '^#[0-9]+' "$log" | tail -n 1 || true
echo "work corpus: $(find "$corpus" -type f | wc -l) inputs"
found=$(find "$findings" -type f | sort)
if [ -n "$found" ]; then
  echo "findings (keep each in tests/fuzz/regressions/):"
  echo "$found"
else
  echo "findings: none"
fi
exit "$status"
