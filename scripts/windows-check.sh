#!/usr/bin/env bash
# Checks that every source in core/ and src/ compiles for Windows, as far as that can be told without a
# Qt built for Windows: MinGW-w64's g++ reads each source with the build's own defines and include
# folders (the Debian Qt headers, the autogen folders of moc, rcc and uic) and checks its syntax only
# (-fsyntax-only). The Qt headers choose their Windows code by the compiler's own macros, so an
# unguarded POSIX header or call fails here. Nothing is linked or run. Fails when any source has an
# error; prints how many pass.
#   bash scripts/windows-check.sh
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)

velmora_extra_packages="g++-mingw-w64-x86-64-posix"
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh
compiler=x86_64-w64-mingw32-g++-posix

# A build of its own that is configured but not compiled: only its autogen targets run, which make
# the generated headers the sources include. An autogen target waits for the libraries its target
# links unless told otherwise after project() has set the default, hence the project include.
build_dir=$(velmora_build_dir windows-check)
work_dir=$build_dir/windows-check
rm -rf "$work_dir"
mkdir -p "$work_dir"
echo 'set(CMAKE_AUTOGEN_ORIGIN_DEPENDS OFF)' >"$work_dir/no-origin-depends.cmake"
cmake -S "$source_dir" -B "$build_dir" -DBUILD_TESTING=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DCMAKE_PROJECT_INCLUDE="$work_dir/no-origin-depends.cmake" >/dev/null
cmake -D COMPILE_COMMANDS="$build_dir/compile_commands.json" -D SOURCE_DIR="$source_dir" \
    -D COMPILER="$compiler" -D OUTPUT="$work_dir/commands.txt" -P cmake/WindowsSyntaxCommands.cmake
# The autogen targets are named after the folders the commands include.
mapfile -t autogen_targets < <(grep -o '[^/ "]*_autogen/include' "$work_dir/commands.txt" |
    sed 's|/include$||' | sort -u)
cmake --build "$build_dir" --target "${autogen_targets[@]}" -j"$velmora_jobs" >/dev/null

# One script per source, run side by side; each leaves its compiler output and its exit status.
count=0
while IFS=$'\t' read -r source directory command; do
    count=$((count + 1))
    printf '%s\n' "$source" >"$work_dir/$count.source"
    printf 'cd %q && %s\n' "$directory" "$command" >"$work_dir/$count.sh"
done <"$work_dir/commands.txt"
if [ "$count" -eq 0 ]; then
    echo "Windows syntax check: no sources found in $build_dir/compile_commands.json" >&2
    exit 1
fi
seq 1 "$count" | xargs -P"$velmora_jobs" -I{} sh -c 'bash "$1.sh" >"$1.log" 2>&1; echo $? >"$1.status"' sh "$work_dir/{}"

failed=0
for index in $(seq 1 "$count"); do
    if [ -s "$work_dir/$index.log" ] || [ "$(cat "$work_dir/$index.status")" != 0 ]; then
        cat "$work_dir/$index.log"
    fi
    if [ "$(cat "$work_dir/$index.status")" != 0 ]; then
        failed=$((failed + 1))
        echo "FAILED for Windows: $(cat "$work_dir/$index.source")"
    fi
done
echo "Windows syntax check: $((count - failed)) of $count sources in core/ and src/ pass ($compiler -fsyntax-only)"
[ "$failed" -eq 0 ]
