#!/usr/bin/env bash
# fuzz/run.sh [SECONDS] [TARGET...]: builds the libFuzzer targets with clang
# in build-fuzz/ (if needed) and runs each for SECONDS (default 20), starting
# from its committed seed corpus. Non-zero when a build fails or any target
# finds a crash; the crashing input is left in build-fuzz/crashes/.
# LIDAR_FUZZ_SEED fixes libFuzzer's seed (default: a fresh one each run).
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_PER_TARGET=${1:-20}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(fuzz_trcodec fuzz_receive fuzz_curvefile fuzz_settings fuzz_plan)
BUILD=${LIDAR_FUZZ_BUILD:-$ROOT/build-fuzz}

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is missing" >&2
    exit 1
fi
mkdir -p "$BUILD"
if ! { cmake -S "$ROOT" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
           -DLIDAR_FUZZ=ON -DLIDAR_BENCH=OFF &&
       cmake --build "$BUILD" -j "$(nproc)" --target "${TARGETS[@]}"; } >"$BUILD/build.log" 2>&1; then
    tail -n 40 "$BUILD/build.log"
    echo "fuzz: build failed (log: $BUILD/build.log)" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
# Two targets write files per input; a memory-backed folder keeps the
# settings library's syncs to disk from setting the pace. The targets never
# get to clean up (libFuzzer exits), so they all work in one scratch folder.
scratch_base=${TMPDIR:-/tmp}
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch_base=/dev/shm
fi
TMPDIR=$(mktemp -d "$scratch_base/lidar-fuzz.XXXXXX") || exit 1
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$BUILD/crashes"
status=0
for t in "${TARGETS[@]}"; do
    seeds="$ROOT/fuzz/corpus/$t"
    work="$BUILD/corpus/$t"
    mkdir -p "$work" "$seeds"
    echo "== $t: ${SECONDS_PER_TARGET}s"
    # New inputs go to the working corpus; the committed seeds stay as they are.
    seed_arg=()
    [ -n "${LIDAR_FUZZ_SEED:-}" ] && seed_arg=(-seed="$LIDAR_FUZZ_SEED")
    if ! "$BUILD/$t" "$work" "$seeds" "${seed_arg[@]}" -max_total_time="$SECONDS_PER_TARGET" -max_len=8192 \
            -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
            -artifact_prefix="$BUILD/crashes/$t-" 2>"$BUILD/$t.log"; then
        tail -n 60 "$BUILD/$t.log"
        echo "== $t: FAILED (log: $BUILD/$t.log)"
        status=1
    else
        grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$BUILD/$t.log" | tail -n 2
    fi
done
exit $status
