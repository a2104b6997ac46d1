#!/usr/bin/env bash
# Builds every configuration and runs every test: the native build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows cross build.
# Installs what it needs first. Build folders: build/, build-asan/, build-win/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh test

generator=(-G Ninja)
strict=()
# Warnings are errors in CI, not in every local build.
if [ "${CI:-}" = "true" ]; then strict=(-DCMAKE_COMPILE_WARNING_AS_ERROR=ON); fi

passed=0
failed=0
# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local build=$1
  shift
  local log
  log=$(mktemp)
  local status=0
  ctest --test-dir "$build" --output-on-failure --timeout 600 "$@" 2>&1 | tee "$log" ||
    status=$?
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$line" ]; then
    echo "ctest in $build printed no summary" >&2
    failed=$((failed + 1))
    return
  fi
  local bad total
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
}

echo "== native build"
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAP_TESTS=ON \
  -DQUILLMAP_BENCH=ON "${strict[@]}"
cmake --build build
run_ctest build

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DQUILLMAP_SANITIZE=ON \
  -DQUILLMAP_BENCH=OFF "${strict[@]}"
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan

echo "== Windows cross build (MinGW-w64)"
cmake -S . -B build-win "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  "${strict[@]}"
cmake --build build-win
# The Windows test programs run under Wine, in a prefix of this run's own.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
# Made without a display: let that Wine session end before the tests start their own.
/usr/lib/wine/wineserver -w
run_ctest build-win

echo
echo "Total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
