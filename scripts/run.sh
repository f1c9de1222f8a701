#!/usr/bin/env bash
# Builds Daubix (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDAUBIX_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
exec ./build-release/daubix "$@"
