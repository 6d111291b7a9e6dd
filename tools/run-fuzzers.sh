#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs each for a bounded time.
#   tools/run-fuzzers.sh [SECONDS]     (default 20 per target)
# Each target starts from its committed seeds in tests/fuzz/corpus/<target>/ (copied, so a run
# never changes them). A crash, hang, sanitizer report or a single allocation over 1 GB fails the
# script; the input that did it is kept in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

shopt -s nullglob
targets=(build/fuzz/bin/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets built"
    exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="$PWD/build/fuzz/artifacts"
mkdir -p "$artifacts"
for target in "${targets[@]}"; do
    name="$(basename "$target")"
    corpus="$work/$name"
    mkdir -p "$corpus"
    if [ -d "tests/fuzz/corpus/$name" ]; then
        cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    fi
    echo "== $name for ${seconds}s"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -malloc_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "$corpus" 2>"$work/$name.log" || {
        tail -50 "$work/$name.log"
        echo "FAILED: $name"
        exit 1
    }
    grep -E '^stat::number_of_executed_units' "$work/$name.log" || true
done
