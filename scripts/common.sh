# Shared by the README's commands: package installation and the build.
# shellcheck shell=bash

VELTRON_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Packages named in a list file (one per line, '#' starts a comment), installed with apt-get
# only when missing.
ensure_packages() {
    local list missing=() p
    for list in "$@"; do
        while read -r p; do
            p=${p%%#*}
            p=$(echo "$p" | xargs)
            [ -n "$p" ] || continue
            dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
        done <"$VELTRON_ROOT/scripts/$list"
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures (once) and builds the release preset into build/.
build_release() {
    cd "$VELTRON_ROOT"
    if [ ! -f build/CMakeCache.txt ]; then
        cmake --preset release >/dev/null
    fi
    cmake --build --preset release -j"$(nproc)"
}
