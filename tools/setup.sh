#!/bin/sh
# Installs the Debian packages listed in tools/debian-packages.txt that this
# machine lacks (with --ci, also those in tools/debian-packages-ci.txt), as
# root or through sudo, without asking anything. When nothing is missing it
# installs nothing, touches no package list, and says nothing.
#   tools/setup.sh [--ci]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
lists="$top/tools/debian-packages.txt"
case "${1:-}" in
    "") ;;
    --ci) lists="$lists $top/tools/debian-packages-ci.txt" ;;
    *) echo "usage : tools/setup.sh [--ci]" >&2; exit 2 ;;
esac
# shellcheck disable=SC2086  # the list names, one word each
packages=$(sed 's/#.*//' $lists)

if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    # shellcheck disable=SC2086
    echo "tools/setup.sh: not a Debian system; install the equivalents of:" $packages >&2
    exit 0
fi

missing=
for package in $packages; do
    case $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) in
        *"ok installed"*) ;;
        *) missing="$missing $package" ;;
    esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=
elif command -v sudo >/dev/null 2>&1; then
    # sudo may ask for a password at a terminal; elsewhere it must not wait.
    if [ -t 0 ]; then as_root=sudo; else as_root="sudo -n"; fi
else
    echo "tools/setup.sh: missing:$missing; run this as root, or install sudo." >&2
    exit 1
fi
echo "tools/setup.sh: installing${as_root:+ through sudo}:$missing"
$as_root env DEBIAN_FRONTEND=noninteractive apt-get -q update
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get -q -y --no-install-recommends install $missing
