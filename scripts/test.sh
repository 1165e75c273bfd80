#!/usr/bin/env bash
# Installs what is missing, builds Velmora and runs the whole test suite headless, the benchmark's smoke
# run included, two tests at a time on two cores.
#   bash scripts/test.sh             built as the package is: Release, with Debian's compiler flags
#   bash scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build
#   bash scripts/test.sh --qt6       build against Qt 6 instead of Qt 5.15; combines with --sanitize
# Run as root, it builds outside the source tree and runs the tests as the unprivileged user
# "velmora-test": root writes through read-only files, which would hide real failures.
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)

sanitize=OFF
variant=tests
velmora_qt_major=5
for option in "$@"; do
    case $option in
    --sanitize)
        sanitize=ON
        variant=$variant-asan
        ;;
    --qt6)
        velmora_qt_major=6
        variant=$variant-qt6
        ;;
    *)
        echo "usage: bash scripts/test.sh [--sanitize] [--qt6]" >&2
        exit 2
        ;;
    esac
done

# The tests check the desktop entry and the AppStream metainfo with these packages' validators; the
# benchmark needs valgrind's header.
velmora_extra_packages="desktop-file-utils appstream valgrind"
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

build_dir=$(velmora_build_dir $variant)

# The package's flags, so that the package build finds every object in ccache; the sanitizers want
# their own.
if [ $sanitize = ON ]; then
    build_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS=)
else
    build_options=("${velmora_release_options[@]}")
fi
cmake -S "$source_dir" -B "$build_dir" "${build_options[@]}" $velmora_launcher -DVELMORA_BENCH=ON \
    -DVELMORA_SANITIZE=$sanitize -DVELMORA_QT_MAJOR=$velmora_qt_major
cmake --build "$build_dir" -j"$velmora_jobs"

export QT_QPA_PLATFORM=offscreen
if [ "$(id -u)" -eq 0 ]; then
    # useradd and runuser live in sbin, which a non-login root shell may lack.
    PATH="$PATH:/usr/sbin:/sbin"
    id velmora-test >/dev/null 2>&1 || useradd --create-home --shell /bin/sh velmora-test
    chown -R velmora-test: "$build_dir"
    runuser -u velmora-test -- sh -c 'cd "$1" && ctest --output-on-failure -j"$2"' sh "$build_dir" "$velmora_jobs"
else
    (cd "$build_dir" && ctest --output-on-failure -j"$velmora_jobs")
fi
