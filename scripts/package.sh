#!/usr/bin/env bash
# Builds Daubix (Release) and makes its Debian package in build-release/, with
# the dependencies dpkg-shlibdeps finds. Install it with
#   sudo apt install ./build-release/daubix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# The package's folders are made with the builder's umask: a private one (077)
# would give folders in /usr that only root can enter.
umask 022
bash scripts/deps.sh build
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDAUBIX_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
(cd build-release && cpack -G DEB >/dev/null)
ls build-release/daubix_*.deb
