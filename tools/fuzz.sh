#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer,
# LeakSanitizer) and runs each for FUZZ_SECONDS, seeded from the real files, the inputs kept
# under fuzz/regressions and small documents built by fuzz_seeds. Crashes, leaks and
# timeouts found are copied into fuzz/regressions/<target>/ (unless FUZZ_KEEP=0) and make
# the script fail. Everything else stays in the work folder.
#
# FUZZ_SECONDS   run time per target (60)
# FUZZ_TARGETS   which targets ("open codestream roundtrip geo validate")
# FUZZ_MAX_LEN   the largest input libFuzzer makes (65536)
# FUZZ_GEO_MAX_LEN  the same for the geo target (8 MiB): XML deep or large enough to meet
#                the XML limits (256 levels, a million elements and attributes)
# FUZZ_KEEP      1: keep new crash inputs under fuzz/regressions (1)
# FUZZ_BUILD_DIR the clang build folder (build/fuzz)
# FUZZ_WORK_DIR  corpora, logs and artifacts (build/fuzz-work)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-open codestream roundtrip geo validate}
max_len=${FUZZ_MAX_LEN:-65536}
geo_max_len=${FUZZ_GEO_MAX_LEN:-8388608}
keep=${FUZZ_KEEP:-1}
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
work=${FUZZ_WORK_DIR:-$root/build/fuzz-work}
corpus=${BOXQUILL_CORPUS_DIR:-$root/../shared/corpus}
cxx=${FUZZ_CXX:-$(command -v clang++ || command -v clang++-14 || true)}

if [ -z "$cxx" ]; then
    echo "fuzz: clang++ not found; run 'make deps'" >&2
    exit 1
fi
mkdir -p "$work/tmp"
# The targets write their inputs to temporary files; keep those in the work folder.
export TMPDIR="$work/tmp"

echo "fuzz: building the targets in $build"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBOXQUILL_FUZZ=ON -DBOXQUILL_SANITIZE=ON -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >"$work/cmake.log" 2>&1 ||
    { cat "$work/cmake.log" >&2; exit 1; }
binaries="fuzz_seeds"
for t in $targets; do binaries="$binaries fuzz_$t"; done
# shellcheck disable=SC2086
cmake --build "$build" -j 2 --target $binaries >"$work/build.log" 2>&1 ||
    { tail -n 60 "$work/build.log" >&2; exit 1; }

seeds="$work/seeds"
rm -rf "$seeds"
if [ -d "$corpus" ]; then
    "$build/fuzz/fuzz_seeds" "$seeds" "$corpus"
else
    echo "fuzz: $corpus is absent; seeding from the built documents only"
    "$build/fuzz/fuzz_seeds" "$seeds"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=0
for t in $targets; do
    run_corpus="$work/corpus/$t"
    artifacts="$work/artifacts/$t"
    mkdir -p "$run_corpus" "$artifacts"
    seed_dirs=("$root/fuzz/regressions/$t")
    if [ "$t" = codestream ]; then
        seed_dirs+=("$seeds/codestreams")
    else
        seed_dirs+=("$seeds/documents")
        [ -d "$corpus" ] && seed_dirs+=("$corpus")
    fi
    log="$work/$t.log"
    echo "fuzz: $t for ${seconds}s (log $log)"
    status=0
    target_max_len=$max_len
    [ "$t" = geo ] && target_max_len=$geo_max_len
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len="$target_max_len" -rss_limit_mb=2048 \
        -timeout=25 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$run_corpus" "${seed_dirs[@]}" >"$log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^Done ' "$log" | sed "s/^/fuzz: $t: /" || true
    found=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | sort)
    if [ "$status" -ne 0 ] || [ -n "$found" ]; then
        failed=1
        echo "fuzz: $t FAILED (exit $status); the end of its log:" >&2
        tail -n 40 "$log" >&2
        for f in $found; do
            if [ "$keep" = 1 ]; then
                cp "$f" "$root/fuzz/regressions/$t/"
                echo "fuzz: kept $root/fuzz/regressions/$t/$(basename "$f")" >&2
            else
                echo "fuzz: reproducer $f" >&2
            fi
        done
        rm -f $found
    fi
done
rm -rf "$work/tmp"
if [ "$failed" -ne 0 ]; then
    echo "fuzz: failures found" >&2
    exit 1
fi
echo "fuzz: no failures"
