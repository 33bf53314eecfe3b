#!/usr/bin/env bash
# Installs what is missing, builds diVE and runs every test: the normal build, then the
# AddressSanitizer + UndefinedBehaviorSanitizer build of the same tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

scripts/build.sh build
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 600)

if [ "${DIVE_SKIP_SANITIZERS:-0}" != "1" ]; then
    scripts/build.sh build-asan -DDIVE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
    (cd build-asan && ctest --output-on-failure --parallel "$jobs" --timeout 900 -LE nosan)
fi
echo "All tests passed."
