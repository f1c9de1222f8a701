#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEED_DIR SECONDS: fuzzes for a bounded time; new inputs
# go to a scratch folder, never into the committed seeds.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" "$seeds" 2>&1 | tail -n 20
