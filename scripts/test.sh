#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite in
# build/, then the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/deps.sh test
jobs=$(nproc)

# Only the test programs and what they start are built (skinshot comes with
# the demo command).
UNIT_TARGETS="unit_platform unit_reportsdk unit_src unit_uitoolkit unit_uiwindow"
TEST_TARGETS="$UNIT_TARGETS integration_tests gui_tests"

echo "== build (RelWithDebInfo) =="
TARGETS="$TEST_TARGETS" scripts/build.sh "$root/build"
echo "== tests =="
status=0
(cd build && ctest --output-on-failure -j "$jobs" --timeout 600) || status=1

echo "== build (ASan + UBSan) =="
# Only the unit tests run here, so only they (and what they start) are built.
TARGETS="$UNIT_TARGETS" scripts/build.sh "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DZEMBRA_SANITIZE=ON
echo "== unit tests under sanitizers =="
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$root/tests/support/lsan.supp" \
  ctest --output-on-failure -j "$jobs" -L unit --timeout 600) || status=1

[ $status -eq 0 ] && echo "ALL TESTS PASSED" || echo "SOME TESTS FAILED"
exit $status
