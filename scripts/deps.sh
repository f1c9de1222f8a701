#!/usr/bin/env bash
# Installs the Debian 12 packages of the named sets:
#   build  what building, running and packaging Daubix needs
#   test   what the tests need besides (GoogleTest, fuzzing and sanitizers,
#          clang-format, an X server and a window manager, desktop validators)
#   bench  what the benchmarks need besides
# e.g. `bash scripts/deps.sh build test`. Idempotent and quiet when everything
# is already there; as root, or through sudo.
set -euo pipefail

declare -A sets=(
  [build]="g++ cmake ninja-build ccache pkg-config qt6-base-dev libxcb1-dev
    qt6-translations-l10n fonts-ipafont-gothic librsvg2-bin dpkg-dev"
  [test]="libgtest-dev libgmock-dev clang libclang-rt-14-dev clang-format
    xvfb xauth xdotool imagemagick x11-utils openbox desktop-file-utils appstream"
  [bench]="libbenchmark-dev libx11-dev"
)

if [ $# -eq 0 ]; then
  echo "usage: $0 SET... (sets: build test bench)" >&2
  exit 2
fi
packages=()
for set in "$@"; do
  if [ -z "${sets[$set]+x}" ]; then
    echo "$0: unknown set '$set' (sets: build test bench)" >&2
    exit 2
  fi
  # shellcheck disable=SC2206 # split on blanks; package names have no glob characters
  packages+=(${sets[$set]})
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
