# Sourced by the other scripts: installs the Debian 12 packages Velmora needs when any is missing.
# A script that needs more sets velmora_extra_packages first.
velmora_packages="cmake make g++ qtbase5-dev ${velmora_extra_packages:-}"
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
