#!/usr/bin/env bash
# Builds the benchmark (Release) and runs it.
#   bash bench/run.sh                  instructions under callgrind at N = 10 ... 10,000, then the wall
#                                      time at N = 100,000; prints the ratios to the baselines and the
#                                      growth from N to 10 N, and fails when an edit at N = 1,000 costs
#                                      more than 1.2 x (save_base + parse) or a Write with the audit
#                                      columns more than 1.2 x one without them
#   bash bench/run.sh 100 1000         the same for the sizes given (all under callgrind)
#   --qt6                              (before the sizes) builds against Qt 6 instead of Qt 5.15
#   --memory                           (before the sizes) measures peak memory instead, without valgrind:
#                                      the window at start and after ten edits beside its baseline, at
#                                      N = 10,000 and 100,000 unless sizes are given
# The test suite runs the benchmark once at small N without callgrind (velmora_bench_smoke).
# BENCH_BUILD_DIR overrides the build directory; BENCH_WALL_SIZES the sizes timed without callgrind.
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)

velmora_qt_major=5
memory=no
while [ $# -gt 0 ]; do
    case $1 in
    --qt6) velmora_qt_major=6 ;;
    --memory) memory=yes ;;
    *) break ;;
    esac
    shift
done
sizes=${*:-10 100 1000 10000}
wall_sizes=${BENCH_WALL_SIZES-100000}
[ $# -eq 0 ] || wall_sizes=${BENCH_WALL_SIZES-}

# valgrind brings callgrind and the header of its client requests.
velmora_extra_packages="valgrind"
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

tag=$(printf '%s' "$source_dir" | md5sum | cut -c1-8)
build_dir=${BENCH_BUILD_DIR:-/tmp/velmora-bench-$tag-qt$velmora_qt_major}
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release $velmora_launcher -DVELMORA_BENCH=ON \
    -DVELMORA_QT_MAJOR="$velmora_qt_major" >/dev/null
cmake --build "$build_dir" --target velmora_bench -j2 >/dev/null
bench=$build_dir/bench/velmora_bench

if [ $memory = yes ]; then
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="*.warning=false" "$bench" --memory "$@"
    exit
fi

# The same environment every time, so that instruction counts repeat.
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

out_dir=$(mktemp -d)
trap 'rm -rf "$out_dir"' EXIT
# shellcheck disable=SC2086
valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out_dir/cg.out" \
    "$bench" $sizes >"$out_dir/wall.txt" 2>"$out_dir/valgrind.txt" ||
    {
        cat "$out_dir/valgrind.txt" >&2
        exit 1
    }

# One line "measure N instructions" per profile part the benchmark dumped.
for part in "$out_dir"/cg.out.*; do
    awk '/^desc: Trigger: Client Request: / { name = $5; n = $6 }
         /^summary: / { print name, n, $2 }' "$part"
done | sort -k2,2n -k1,1 >"$out_dir/counts.txt"

awk '
    { count[$1 " " $2] = $3; if (!($2 in seen)) { seen[$2] = 1; sizes[++size_count] = $2 } }
    function ratio(a, b) { return b > 0 ? sprintf("%.2fx", a / b) : "-" }
    END {
        split("parse load save_base save startup_base startup edit write write_audit trace", measures, " ")
        measure_count = 10
        printf "Instructions (millions)\n%-13s", "measure"
        for (s = 1; s <= size_count; ++s) printf " %12s", "N=" sizes[s]
        printf "\n"
        for (m = 1; m <= measure_count; ++m) {
            printf "%-13s", measures[m]
            for (s = 1; s <= size_count; ++s) printf " %12.2f", count[measures[m] " " sizes[s]] / 1e6
            printf "\n"
        }
        printf "\nRatios to the baselines\n%-26s", "measure / baseline"
        for (s = 1; s <= size_count; ++s) printf " %9s", "N=" sizes[s]
        printf "\n"
        split("load/parse save/save_base save/save_base+parse edit/save_base edit/save_base+parse startup/startup_base write_audit/write", rows, " ")
        for (r = 1; r <= 7; ++r) {
            split(rows[r], sides, "/")
            split(sides[2], bases, "+")
            printf "%-26s", rows[r]
            for (s = 1; s <= size_count; ++s) {
                base = 0
                for (b in bases) base += count[bases[b] " " sizes[s]]
                printf " %9s", ratio(count[sides[1] " " sizes[s]], base)
            }
            printf "\n"
        }
        printf "\nGrowth from N to the next N\n%-13s", "measure"
        for (s = 2; s <= size_count; ++s) printf " %14s", sizes[s - 1] "->" sizes[s]
        printf "\n"
        for (m = 1; m <= measure_count; ++m) {
            printf "%-13s", measures[m]
            for (s = 2; s <= size_count; ++s)
                printf " %14s", ratio(count[measures[m] " " sizes[s]], count[measures[m] " " sizes[s - 1]])
            printf "\n"
        }
        # An edit saves the whole file and reads it back: it cannot cost less than a save plus a
        # parse, and should not cost much more.
        if (count["edit 1000"] > 0) {
            edit_ratio = count["edit 1000"] / (count["save_base 1000"] + count["parse 1000"])
            printf "\nTarget: edit at N=1000 at most 1.20x (save_base + parse): %.2fx, %s\n", edit_ratio,
                   edit_ratio <= 1.2 ? "met" : "MISSED"
            if (edit_ratio > 1.2) exit 1
        }
        # The audit columns add a few fields to a line that is written anyway, and read no history.
        if (count["write 1000"] > 0) {
            write_ratio = count["write_audit 1000"] / count["write 1000"]
            printf "Target: write_audit at N=1000 at most 1.20x write: %.2fx, %s\n", write_ratio,
                   write_ratio <= 1.2 ? "met" : "MISSED"
            if (write_ratio > 1.2) exit 1
        }
    }' "$out_dir/counts.txt"

if [ -n "$wall_sizes" ]; then
    printf '\nWall time without callgrind\n'
    # shellcheck disable=SC2086
    "$bench" $wall_sizes 2>/dev/null
fi
