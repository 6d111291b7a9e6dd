#!/usr/bin/env bash
# Makes the Debian package vornetad_<version>_<architecture>.deb from the dev build (the one ./run and
# ./run-tests keep), so that packaging costs a few seconds on top of it, not a second build; CPack
# strips the binaries it packs.
#   tools/package.sh [OUTPUT-FOLDER]      default build/package
# Then install it with: sudo apt install ./build/package/vornetad_*.deb
# With VORNET_BUILD_DIR set, that build tree is packed as it is (the packaging test does this).
set -euo pipefail
cd "$(dirname "$0")/.."
# The package's folders take the mode they are made with here: under a private umask (077) they
# would install as 0700, and no other user could run the drawing commands or see the templates.
umask 022

out=${1:-build/package}
build=${VORNET_BUILD_DIR:-}
if [ -z "$build" ]; then
    source tools/deps.sh
    vornet_install_deps
    export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
    cmake --preset dev
    cmake --build --preset dev
    build=build/dev
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
(cd "$build" && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"
ls "$out"/vornetad_*.deb
