#!/usr/bin/env bash
# Checks the packaging with the tools Debian checks its own packages with.
#   check_package.sh files SOURCE_DIR VERSION   the desktop entry, the AppStream entry, the
#                                               manual page and the systemd unit example of the
#                                               tree, for release VERSION
#   check_package.sh deb BUILD_DIR              lintian on the .deb that tools/package.sh built
# Every complaint is shown; any complaint fails.
set -uo pipefail
failed=0

# succeeds NAME COMMAND...: the command must exit 0; what it says is shown either way.
succeeds() {
    local out status
    out=$("${@:2}" 2>&1)
    status=$?
    [ -n "$out" ] && printf '%s\n' "$out"
    if [ $status -ne 0 ]; then
        echo "FAILED: $1 (exit status $status)"
        failed=1
    fi
}

# silent NAME COMMAND...: the command must exit 0 and say nothing.
silent() {
    local out
    if ! out=$("${@:2}" 2>&1) || [ -n "$out" ]; then
        printf '%s\n' "$out"
        echo "FAILED: $1"
        failed=1
    fi
}

man_warnings() { LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null; }

names_version() { grep -qF -- "$2" "$1" || echo "$1 does not name release $3"; }

case "${1:-}" in
files)
    src=$2 version=$3
    silent "desktop entry" desktop-file-validate "$src/packaging/dazuviz-velmora.desktop"
    # The component id is the desktop entry's name, which is not reverse-DNS.
    succeeds "AppStream entry" appstreamcli validate --no-net \
        --override=cid-desktopapp-is-not-rdns=info "$src/packaging/dazuviz-velmora.metainfo.xml"
    silent "manual page" man_warnings "$src/packaging/velmora.1"
    silent "relay unit example" systemd-analyze verify "$src/packaging/velmora-bcrelay.service"
    silent "AppStream release" names_version "$src/packaging/dazuviz-velmora.metainfo.xml" \
        "<release version=\"$version\"" "$version"
    silent "manual page version" names_version "$src/packaging/velmora.1" \
        "\"Dazuviz Velmora $version\"" "$version"
    ;;
deb)
    debs=("$2"/dazuviz-velmora_*.deb)
    root=()
    if [ "$(id -u)" -eq 0 ]; then root=(--allow-root); fi
    succeeds "lintian" lintian "${root[@]}" --fail-on error "${debs[@]}"
    ;;
*)
    echo "usage: $0 files SOURCE_DIR VERSION | deb BUILD_DIR" >&2
    exit 2
    ;;
esac
exit $failed
