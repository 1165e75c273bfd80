# Sourced by the other scripts: installs the Debian 12 packages Velmora needs when any is missing, and
# those a script names in velmora_extra_packages for its own work.
# A script that builds against Qt 6 sets velmora_qt_major=6 before sourcing this file.

# The build directory of one variant: outside the sources when run as root, whose tests then run as
# another user that must own the tree; beside the sources otherwise. Scripts call it from the root.
velmora_build_dir() {
    if [ "$(id -u)" -eq 0 ]; then
        printf '/tmp/velmora-build-%s-%s' "$(printf '%s' "$(pwd)" | md5sum | cut -c1-8)" "$1"
    else
        printf '%s/build-%s' "$(pwd)" "$1"
    fi
}

velmora_qt5_packages="qtbase5-dev libqt5charts5-dev libqt5svg5-dev"
velmora_qt6_packages="qt6-base-dev qt6-charts-dev qt6-svg-dev" # qt6-base-dev brings libgl-dev, which find_package(Qt6) needs
if [ "${velmora_qt_major:-5}" = 6 ]; then
    velmora_packages="cmake make g++ $velmora_qt6_packages ${velmora_extra_packages:-}"
else
    velmora_packages="cmake make g++ $velmora_qt5_packages ${velmora_extra_packages:-}"
fi
velmora_missing=""
for package in $velmora_packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || velmora_missing="$velmora_missing $package"
done
if [ -n "$velmora_missing" ]; then
    velmora_sudo=""
    [ "$(id -u)" -eq 0 ] || velmora_sudo=sudo
    $velmora_sudo apt-get update
    # shellcheck disable=SC2086
    $velmora_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y $velmora_missing
fi
