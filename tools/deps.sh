# Sourced by ./run and ./run-tests: installs the Debian packages the build and the tests need,
# only those that are missing, as root or through sudo.

VORNET_PACKAGES=(
    cmake ninja-build ccache g++ pkg-config
    qt6-base-dev qt6-webengine-dev libgif-dev libbenchmark-dev libgumbo-dev
    fonts-liberation
    xvfb xauth
    dosfstools fusefat bindfs
    clang clang-format libclang-rt-14-dev
    dpkg-dev lintian appstream desktop-file-utils man-db groff-base bash-completion file
)

vornet_install_deps() {
    local missing=()
    local pkg
    for pkg in "${VORNET_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "error: need root or sudo to install: ${missing[*]}" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}
