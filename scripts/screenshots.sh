#!/usr/bin/env bash
# Installs what is missing, builds the screenshot renderer and renders the documentation's screenshots
# headless into docs/screenshots from a generated data set.
#   bash scripts/screenshots.sh                     every screenshot
#   bash scripts/screenshots.sh correction-curve    only the named ones
# The shots themselves are listed in tools/screenshots.cpp.
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)

# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

build_dir=$(velmora_build_dir screenshots)

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release $velmora_launcher
cmake --build "$build_dir" --target velmora_screenshots -j2
# The main window's log shows where the data directory lies: run from a fixed place, so that the
# pictures do not change with the build directory.
run_dir=/tmp/velmora-screenshots
rm -rf "$run_dir"
mkdir -p "$run_dir"
cp "$build_dir/tools/velmora_screenshots" "$run_dir/"
# Each run renders only the shots of the scale factor it starts with.
for scale in 1 2; do
    QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale \
        "$run_dir/velmora_screenshots" "$source_dir/docs/screenshots" "$@"
done
