#!/usr/bin/env bash
# Runs test programs as a user without privileges, so that the permission cases that
# root passes (and that skip themselves under root) are tested too. As root: on a copy
# of the programs that the user "nobody" can read but not write, with a home and temp
# folder of its own, through setpriv; fails when a program fails or skips a permission
# case. As any other user the reverse, so that the cases only root reaches run too: as
# root of a user namespace of its own (unshare -r), which passes the permission checks
# on the user's own files as root does; where the system allows none, as they are.
#   nonroot.sh BUILD_DIR PROGRAM...   (PROGRAM relative to BUILD_DIR, e.g. tests/tst_dummy)
set -euo pipefail
build=$(cd "$1" && pwd)
shift
export QT_QPA_PLATFORM=offscreen

tmp=$(mktemp -d "${TMPDIR:-/tmp}/poronbo-nonroot.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
run=()
root=$build
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || { echo "nonroot: setpriv (util-linux) is missing" >&2; exit 1; }
    uid=$(id -u nobody) gid=$(id -g nobody)
    # The programs, the plugins they load and the programs they start, in the same layout.
    root=$tmp/build
    mkdir -p "$root/tests" "$tmp/home"
    cp "$build/poronbo" "$build/poronbo-info" "$root/"
    cp -r "$build/tests/plugins" "$root/tests/"
    for p in "$@"; do cp "$build/$p" "$root/$p"; done
    chmod -R a+rX,go-w "$root"
    chmod 755 "$tmp"
    chown "$uid:$gid" "$tmp/home"
    chmod 700 "$tmp/home"
    run=(setpriv "--reuid=$uid" "--regid=$gid" --clear-groups
        env "HOME=$tmp/home" "TMPDIR=$tmp/home" "XDG_RUNTIME_DIR=$tmp/home" "USER=nobody")
elif unshare -r true 2>/dev/null; then
    run=(unshare -r)
fi

failed=0
for p in "$@"; do
    echo "== $p as $("${run[@]}" id -un)"
    if ! (cd "$tmp" && "${run[@]}" "$root/$p") >"$tmp/out" 2>&1; then
        failed=1
    fi
    cat "$tmp/out"
    if [ "$root" != "$build" ] && grep -q "SKIP.*root passes" "$tmp/out"; then
        echo "nonroot: $p skipped a permission case" >&2
        failed=1
    fi
done
exit $failed
