# Sourced by run.sh and test.sh: installs the Debian packages that are missing, only those.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            # Debian leaves sudo out when root has a password: say what root must run.
            echo "These packages are missing: ${missing[*]}" >&2
            echo "Installing them needs root. As root, run:" >&2
            echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
            echo "then start $(basename "$0") again." >&2
            exit 1
        fi
        sudo=sudo
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}
