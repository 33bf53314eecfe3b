#!/usr/bin/env bash
# Configures and builds into build/ (or $1); extra arguments go to CMake's configure step, except
# "--target NAME", which builds only that target (and what it needs; may be given several times).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # The window libraries' precompiled headers are cached only with these relaxations.
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
configure=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--target" ] && [ $# -ge 2 ]; then
        targets+=(--target "$2")
        shift 2
    else
        configure+=("$1")
        shift
    fi
done
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${configure[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
