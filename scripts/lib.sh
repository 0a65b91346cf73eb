# Sourced by the scripts in this folder. Bash only.

# install_missing PACKAGE...: installs those of the Debian packages that are not installed,
# with apt-get (through sudo when not root). Safe to call again: installs nothing then.
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "${missing[@]}"
}

# phase NAME: ends the previous phase, printing its time after PHASE_PREFIX, and starts NAME.
phase() {
    if [ -n "${phase_name:-}" ]; then
        printf '%s: %-10s %4d s\n' "${PHASE_PREFIX:-${0##*/}}" "$phase_name" $((SECONDS - phase_start))
    fi
    phase_name=$1
    phase_start=$SECONDS
}
