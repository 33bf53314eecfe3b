#!/usr/bin/env bash
# Regenerates codec/GbkTable.cpp from this system's Qt GBK decoder (tests/boxes compares the two
# over every byte pair; run this when that test finds the system's converter changed).
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -O1 -fPIC $(pkg-config --cflags Qt6Core) scripts/GbkTableGen.cpp -o "$tmp/gen" \
    $(pkg-config --libs Qt6Core)
"$tmp/gen" codec/GbkTable.cpp
