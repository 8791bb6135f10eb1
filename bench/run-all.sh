#!/usr/bin/env bash
# Runs every benchmark of a build folder; each prints its times and its ratios to a peer.
set -euo pipefail
build=${1:-build}
for bench in "$build"/bench/*_bench; do
    echo "== $(basename "$bench")"
    "$bench" --benchmark_min_time=1
done
echo "== archive against tar + zstd"
"$(dirname "$0")/archive-vs-tar.sh" "$build"
echo "== tarnwick-cli against tar + zstd (backup, restore --all)"
"$(dirname "$0")/cli-vs-tar.sh" "$build"
echo "== backup run against tar + zstd (small files)"
"$build/bench/tools/backup_run_bench" "${BENCH_DIR:-/tmp/tarnwick-bench}/small"
echo "== loading 100,000 items into the window's tree"
"$build/bench/tools/load_tree_bench" 100000
echo "== the window while a backup runs"
"$build/bench/tools/window_responsiveness_bench" "${BENCH_DIR:-/tmp/tarnwick-bench}/small/usr/include"
