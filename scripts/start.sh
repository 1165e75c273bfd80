#!/usr/bin/env bash
# Installs what is missing, builds Velmora and starts it.
set -euo pipefail

cd "$(dirname "$0")/.."
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --target velmora -j"$(nproc)"
exec ./build/velmora
