#!/usr/bin/env bash
# Builds Daubix and runs every test headless: the normal build, all of it
# again under AddressSanitizer + UndefinedBehaviorSanitizer (the core and the
# windows), and a bounded fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build test

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
jobs=$(nproc)

echo "== Build and test (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Core and window tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDAUBIX_SANITIZE=ON \
  -DDAUBIX_BUILD_UI=ON -DCMAKE_CXX_FLAGS="-O1" >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Fuzzing (clang libFuzzer, bounded)"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAUBIX_FUZZ=ON \
  -DDAUBIX_BUILD_UI=OFF -DDAUBIX_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz --output-on-failure -j"$jobs"
