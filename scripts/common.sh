# Shared by ./run, ./test and bench/run: install missing Debian packages, configure and build.
# Sourced, not executed.

vexlo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

vexlo_install_packages() {
    local missing=() pkg
    while read -r pkg; do
        [ -z "$pkg" ] && continue
        case "$pkg" in \#*) continue ;; esac
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done < "$vexlo_root/scripts/packages.txt"
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# vexlo_build <build-dir> [cmake options...]
vexlo_build() {
    local dir="$1"; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$vexlo_root" -B "$dir" -G Ninja "$@" >/dev/null
    fi
    cmake --build "$dir" -j"$(nproc)"
}
