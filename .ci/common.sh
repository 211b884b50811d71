# Shared by release.sh and windows.sh (sourced).

step() { printf '\n==> %s  [%ds]\n' "$*" "$SECONDS"; }

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# ensure_packages WHAT PACKAGE...: installs those a fresh machine lacks (a
# plain statement, so that a failed apt-get stops the script).
ensure_packages() {
    local what=$1 package missing=()
    shift
    for package in "$@"; do
        installed "$package" || missing+=("$package")
    done
    if ((${#missing[@]} == 0)); then
        step "$what packages already installed: $*"
        return 0
    fi
    step "apt-get install ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
