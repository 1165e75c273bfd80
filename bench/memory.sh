#!/usr/bin/env bash
# Prints the benchmark's peak memory figures (velmora_bench --memory) from the build the test command
# made, so that CI shows them without building again:
#   bash bench/memory.sh [N ...]       after bash scripts/test.sh [--qt6]; N = 10,000 unless given
#   --qt6                              (before the sizes) from the Qt 6 test build
# As root it runs as the test user, who owns that build.
set -euo pipefail
cd "$(dirname "$0")/.."

variant=tests
velmora_qt_major=5
if [ "${1:-}" = --qt6 ]; then
    variant=tests-qt6
    velmora_qt_major=6
    shift
fi
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh
bench=$(velmora_build_dir $variant)/bench/velmora_bench
[ -x "$bench" ] || {
    echo "bench/memory.sh: no $bench; run bash scripts/test.sh first" >&2
    exit 1
}
sizes=("${@:-10000}")
if [ "$(id -u)" -eq 0 ]; then
    runuser -u velmora-test -- env QT_QPA_PLATFORM=offscreen "QT_LOGGING_RULES=*.warning=false" \
        "$bench" --memory "${sizes[@]}"
else
    QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="*.warning=false" "$bench" --memory "${sizes[@]}"
fi
