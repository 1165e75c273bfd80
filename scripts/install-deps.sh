# Sourced by the other scripts from the root of the checkout: installs the Debian 12 packages Velmora
# needs when any is missing, and those a script names in velmora_extra_packages for its own work; sets up
# ccache and the compiler flags the scripts configure with.
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
    velmora_packages="cmake make g++ ccache dpkg-dev $velmora_qt6_packages ${velmora_extra_packages:-}"
else
    velmora_packages="cmake make g++ ccache dpkg-dev $velmora_qt5_packages ${velmora_extra_packages:-}"
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

# Every compile goes through ccache, whose cache lives in the checkout's CI folder (git-ignored): keep
# that folder and a rebuild of what was built before costs a lookup per source. One cache per user, as
# ccache refuses a cache another user wrote. Paths below the folder that holds the build directories
# are hashed relative to the build, and the build directory itself is not hashed, so that two builds of
# the same sources with the same flags (the test build and the package) share their objects.
export CCACHE_DIR=${CCACHE_DIR:-$(pwd)/.ci/ccache-$(id -un)}
CCACHE_BASEDIR=$(dirname "$(velmora_build_dir any)")
export CCACHE_BASEDIR
export CCACHE_NOHASHDIR=1
# Room for the objects of every build the scripts make, several versions of them over.
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-2G}
# The test builds share a precompiled header among the tests, which ccache caches only when told that
# the header's macros and times need not be checked one by one.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# shellcheck disable=SC2034 # used by the scripts that source this file
velmora_launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache

# How many compiles, tests or checks run at once: one per core unless VELMORA_JOBS says otherwise (CI
# gives a step that runs beside a fuzzer one core).
# shellcheck disable=SC2034 # used by the scripts that source this file
velmora_jobs=${VELMORA_JOBS:-$(nproc)}

# Debian's own compiler and linker flags, hardening included, as a package built by Debian gets them:
# the package is built with them, and the test command tests what it ships.
# shellcheck disable=SC2034 # used by the scripts that source this file
velmora_release_options=(-DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
    "-DCMAKE_EXE_LINKER_FLAGS=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)")
