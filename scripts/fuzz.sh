#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer) in build/fuzz and runs each for a bounded time.
# Fails when a target crashes, hangs or leaks past its limits.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
seconds="${VEXLO_FUZZ_SECONDS:-45}"
if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLO_FUZZ=ON >/dev/null || exit 1
fi
cmake --build "$build" -j"$(nproc)" >"$build/last-build.log" 2>&1 || { cat "$build/last-build.log" >&2; exit 1; }
status=0
for exe in $(find "$build/tests" -type f -name 'fuzz_*' -perm -u+x | sort); do
    work="$(mktemp -d)"
    mkdir -p "$work/corpus"
    echo "fuzzing $(basename "$exe") for ${seconds}s"
    if ! (cd "$work" && ASAN_OPTIONS=detect_leaks=1 "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            "$work/corpus" >"$work/log" 2>&1); then
        echo "$(basename "$exe"): failed" >&2
        tail -60 "$work/log" >&2
        status=1
    else
        grep -E "^Done|stat::number_of_executed_units" "$work/log" | tail -1
    fi
    rm -rf "$work"
done
exit $status
