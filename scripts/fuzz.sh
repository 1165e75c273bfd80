#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for SECONDS (default 120): the calibration file from the seed corpus in fuzz/corpus, the
# calibration history from fuzz/history_corpus and velmora-cli's CSV column from fuzz/csv_corpus. As many
# run at once as there are cores, each on a core of its own; the output of each follows when it has
# ended. A crash, a leak, a stall of more than 10 s or a failed check (an entry that does not come back
# unchanged, a record appended out of the chain, a CSV file that does not come back byte for byte
# without the added column) ends it with a non-zero status and leaves the input that caused it as
# crash-*, leak-*, timeout-* in the work directory. Given TARGETs, it fuzzes those only (CI runs two and
# then the third beside other work).
#   bash scripts/fuzz.sh [SECONDS [TARGET...]]
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)
seconds=${1:-120}
all_targets="fuzz_calibrationfile fuzz_calibrationhistory fuzz_csvcolumn"
shift $(($# > 0 ? 1 : 0))
targets=${*:-$all_targets}
for target in $targets; do
    case " $all_targets " in
    *" $target "*) ;;
    *)
        echo "usage: bash scripts/fuzz.sh [SECONDS [TARGET...]], TARGET one of: $all_targets" >&2
        exit 2
        ;;
    esac
done

velmora_extra_packages="clang libclang-rt-14-dev"
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

tag=$(printf '%s' "$source_dir" | md5sum | cut -c1-8)
build_dir=/tmp/velmora-build-$tag-fuzz
CXX=clang++ cmake -S "$source_dir" -B "$build_dir" $velmora_launcher -DVELMORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
# shellcheck disable=SC2086 # one word per target
cmake --build "$build_dir" --target $all_targets -j"$velmora_jobs"

# The corpora grown by earlier runs are kept beside the build and used again.
work_dir=$build_dir/fuzz-work
mkdir -p "$work_dir/corpus" "$work_dir/history_corpus" "$work_dir/csv_corpus"
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$work_dir"
# Inputs up to 128 KiB: room for the shapes that once stalled the parser (10,000 attributes on one
# element are 99 KB), small enough to keep the runs fast.
fuzz_calibrationfile() {
    "$build_dir/fuzz/fuzz_calibrationfile" -max_len=131072 -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -dict="$source_dir/fuzz/calibrationfile.dict" \
        -artifact_prefix="$work_dir/" corpus "$source_dir/fuzz/corpus"
}
# History records are a few hundred bytes; 64 KiB holds a few hundred of them.
fuzz_calibrationhistory() {
    "$build_dir/fuzz/fuzz_calibrationhistory" -max_len=65536 -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work_dir/history-" history_corpus \
        "$source_dir/fuzz/history_corpus"
}
# A file of readings is a few lines; 16 KiB holds hundreds, with quoted fields across lines.
fuzz_csvcolumn() {
    "$build_dir/fuzz/fuzz_csvcolumn" -max_len=16384 -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work_dir/csv-" csv_corpus \
        "$source_dir/fuzz/csv_corpus"
}

cores=$velmora_jobs
failed=""
# Runs the targets cores at a time; a target's output follows once it has ended.
declare -A job_of
for target in $targets; do
    while [ "$(jobs -pr | wc -l)" -ge "$cores" ]; do
        wait -n || true
    done
    echo "Fuzzing: $target for $seconds s"
    "$target" >"$work_dir/$target.log" 2>&1 &
    job_of[$target]=$!
done
for target in $targets; do
    status=0
    wait "${job_of[$target]}" || status=$?
    cat "$work_dir/$target.log"
    echo "$target: exit status $status"
    [ $status -eq 0 ] || failed="$failed $target"
done
if [ -n "$failed" ]; then
    echo "Fuzzing failed:$failed" >&2
    exit 1
fi
