#!/usr/bin/env bash
# Installs what is missing, builds diVE and runs every test: the normal build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build of the same tests, the ThreadSanitizer build
# of the tests whose code runs on several threads, and every fuzz target for a bounded number of
# inputs (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

scripts/build.sh build
(cd build && ctest --output-on-failure --parallel "$jobs" --timeout 600)

if [ "${DIVE_SKIP_SANITIZERS:-0}" != "1" ]; then
    scripts/build.sh build-asan -DDIVE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    (
        export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
        export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
        export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
        cd build-asan && ctest --output-on-failure --parallel "$jobs" --timeout 900 -LE nosan
    )

    scripts/build.sh build-tsan -DDIVE_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
    (
        export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$PWD/tests/tsan.supp"
        cd build-tsan && ctest --output-on-failure --parallel "$jobs" --timeout 900 -LE "nosan|smoke"
    )
fi

CC=clang CXX=clang++ scripts/build.sh build-fuzz -DDIVE_FUZZ=ON
(cd build-fuzz && ctest --output-on-failure --parallel "$jobs" -L fuzz)
echo "All tests passed."
