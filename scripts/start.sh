#!/usr/bin/env bash
# Installs what is missing, builds Velmora, installs it for the current user under ~/.local and starts it.
set -euo pipefail

cd "$(dirname "$0")/.."
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release $velmora_launcher
cmake --build build --target velmora -j"$(nproc)"
# Installed, Velmora keeps its data in the per-user data directory, out of reach of a rebuild or a clean
# of the build tree; the install also puts the menu entry and the icon in place.
cmake --install build --prefix "$HOME/.local"

# Earlier versions of this command kept the data in build/.velmora: copy it over once.
data_directory=${XDG_DATA_HOME:-$HOME/.local/share}/velmora
if [ -d build/.velmora ] && [ ! -e "$data_directory/calibration_data.xml" ] &&
    [ ! -e "$data_directory/velmora_settings.ini" ]; then
    mkdir -p "$data_directory"
    cp -pR build/.velmora/. "$data_directory"/
    echo "Copied Velmora's data from build/.velmora to $data_directory, where the installed program keeps it."
fi
exec "$HOME/.local/bin/velmora"
