#!/usr/bin/env bash
# Builds every configuration and runs every test: the native build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows cross build; then the
# packages made of the native build (an install into a folder, and a .deb installed on this
# machine with apt-get and removed again: root or sudo) and of the Windows build (a .zip run
# under Wine). Installs what it needs first. Build folders: build/, build-asan/, build-win/;
# packages in build/packages/ and build-win/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh test

generator=(-G Ninja)
strict=()
# Warnings are errors in CI, not in every local build.
if [ "${CI:-}" = "true" ]; then strict=(-DCMAKE_COMPILE_WARNING_AS_ERROR=ON); fi

passed=0
failed=0
# Runs a command with its output shown, and adds the counts of its summary line (the last line
# matching the extended regex in $1, whose first two numbers are taken as passed and failed, or
# as failed and total when $2 is "failed-of-total") to the totals. A run without a summary, or
# one that fails without naming a failed test, counts as one failure.
run_counted() {
  local pattern=$1 order=$2
  shift 2
  local log status=0
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || status=$?
  local line
  line=$(grep -E "$pattern" "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$line" ]; then
    echo "$* printed no summary" >&2
    failed=$((failed + 1))
    return
  fi
  local numbers first second good bad
  numbers=$(grep -oE '[0-9]+ (tests? )?(passed|failed)|out of [0-9]+' <<<"$line" | grep -oE '[0-9]+')
  first=$(sed -n 1p <<<"$numbers")
  second=$(sed -n 2p <<<"$numbers")
  if [ "$order" = failed-of-total ]; then
    good=$((second - first))
    bad=$first
  else
    good=$first
    bad=$second
  fi
  passed=$((passed + good))
  failed=$((failed + bad))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
}

# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local build=$1
  shift
  run_counted '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' failed-of-total \
    ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
}

# Runs a package test (it prints "N passed, N failed" last) and adds its counts to the totals.
run_check() {
  run_counted '^[0-9]+ passed, [0-9]+ failed$' passed-failed "$@"
}

# Runs a native test program under Valgrind's memcheck and counts it once: failed on any memory
# error, on a leak that nothing points to any more, or on a failing test.
run_memcheck() {
  if valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite -q \
    "$1" --gtest_brief=1; then
    passed=$((passed + 1))
  else
    echo "memcheck: $1 failed" >&2
    failed=$((failed + 1))
  fi
}

# Makes a package with CPack in a build folder (into its packages/, emptied first) and sets
# `package` to its path; on failure counts one and leaves `package` empty.
make_package() {
  local build=$1 generator=$2 pattern=$3
  package=
  rm -rf "$build/packages"
  if ! (cd "$build" && cpack -G "$generator"); then
    echo "cpack -G $generator in $build failed" >&2
    failed=$((failed + 1))
    return
  fi
  local found=("$build"/packages/$pattern)
  if [ ! -f "${found[0]}" ]; then
    echo "cpack -G $generator made no $pattern in $build/packages" >&2
    failed=$((failed + 1))
    return
  fi
  package=${found[0]}
}

python=/usr/bin/python3  # Debian's, for which python3-xlib is installed

echo "== native build"
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAP_TESTS=ON \
  -DQUILLMAP_BENCH=ON "${strict[@]}"
cmake --build build
run_ctest build

echo "== Valgrind memcheck (the native test programs)"
for program in core_test library_test drop_test robustness_test; do
  run_memcheck "build/bin/$program"
done

echo "== install and Debian package"
run_check "$python" tests/packaging/test_install.py --build-dir build
make_package build DEB 'quillmap_*.deb'
if [ -n "$package" ]; then run_check "$python" tests/packaging/test_deb.py --deb "$package"; fi

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

echo "== Windows package"
make_package build-win ZIP 'quillmap-*-windows-x64.zip'
if [ -n "$package" ]; then
  run_check "$python" tests/packaging/test_zip.py --zip "$package" \
    --reference-lib build/bin/libquillcore.so
fi

echo
echo "Total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
