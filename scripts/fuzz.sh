#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for SECONDS (default 120): the calibration file from the seed corpus in fuzz/corpus and the
# calibration history from fuzz/history_corpus. With two cores or more both run at once, each on a core
# of its own, and their output follows when both have ended. A crash, a leak, a stall of more than 10 s
# or a failed check (an entry that does not come back unchanged, a record appended out of the chain)
# ends it with a non-zero status and leaves the input that caused it as crash-*, leak-*, timeout-* in the
# work directory.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)
seconds=${1:-120}

velmora_extra_packages="clang libclang-rt-14-dev"
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

tag=$(printf '%s' "$source_dir" | md5sum | cut -c1-8)
build_dir=/tmp/velmora-build-$tag-fuzz
CXX=clang++ cmake -S "$source_dir" -B "$build_dir" $velmora_launcher -DVELMORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --target fuzz_calibrationfile fuzz_calibrationhistory -j"$(nproc)"

# The corpora grown by earlier runs are kept beside the build and used again.
work_dir=$build_dir/fuzz-work
mkdir -p "$work_dir/corpus" "$work_dir/history_corpus"
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$source_dir/tests/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$work_dir"
# Inputs up to 128 KiB: room for the shapes that once stalled the parser (10,000 attributes on one
# element are 99 KB), small enough to keep the runs fast.
fuzz_calibration_file() {
    "$build_dir/fuzz/fuzz_calibrationfile" -max_len=131072 -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -dict="$source_dir/fuzz/calibrationfile.dict" \
        -artifact_prefix="$work_dir/" corpus "$source_dir/fuzz/corpus"
}
# History records are a few hundred bytes; 64 KiB holds a few hundred of them.
fuzz_calibration_history() {
    "$build_dir/fuzz/fuzz_calibrationhistory" -max_len=65536 -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work_dir/history-" history_corpus \
        "$source_dir/fuzz/history_corpus"
}
if [ "$(nproc)" -lt 2 ]; then
    fuzz_calibration_file
    fuzz_calibration_history
    exit 0
fi
echo "Fuzzing the calibration file and the calibration history side by side for $seconds s each"
fuzz_calibration_file >"$work_dir/calibrationfile.log" 2>&1 &
file_job=$!
fuzz_calibration_history >"$work_dir/calibrationhistory.log" 2>&1 &
history_job=$!
file_status=0
history_status=0
wait $file_job || file_status=$?
wait $history_job || history_status=$?
cat "$work_dir/calibrationfile.log" "$work_dir/calibrationhistory.log"
echo "Calibration file fuzzing: exit status $file_status; calibration history fuzzing: exit status $history_status"
[ $file_status -eq 0 ] && [ $history_status -eq 0 ]
