#!/usr/bin/env bash
# Installs what is missing, builds the Debian package velmora_<version>-1_<arch>.deb and checks it with
# lintian.
#   bash scripts/package.sh         against Qt 5.15
#   bash scripts/package.sh --qt6   against Qt 6
# Run as root, it builds in /tmp, like the test command.
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$(pwd)

variant=package
velmora_qt_major=5
case ${1:-} in
"") ;;
--qt6)
    velmora_qt_major=6
    variant=$variant-qt6
    ;;
*)
    echo "usage: bash scripts/package.sh [--qt6]" >&2
    exit 2
    ;;
esac

# dpkg-shlibdeps computes the package's dependencies from the binary; CPack finds binaries with file.
velmora_extra_packages="dpkg-dev file lintian"
# shellcheck source=scripts/install-deps.sh
. scripts/install-deps.sh

build_dir=$(velmora_build_dir $variant)

# Debian's own compiler and linker flags, hardening included, as a package built by Debian gets them
# (the test command builds with them too, so that after it every object here comes from ccache). The
# package needs the program only: the tests are not built for it, and QtTest is not needed.
cmake -S "$source_dir" -B "$build_dir" "${velmora_release_options[@]}" $velmora_launcher \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DBUILD_TESTING=OFF -DVELMORA_QT_MAJOR=$velmora_qt_major
cmake --build "$build_dir" --target velmora -j"$velmora_jobs"
rm -f "$build_dir"/velmora_*.deb
(cd "$build_dir" && cpack -G DEB)
package=$(ls "$build_dir"/velmora_*.deb)
lintian --fail-on error,warning "$package"
echo "Package: $package"
