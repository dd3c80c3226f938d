#!/usr/bin/env bash
# The README's first two commands, as a new user runs them on a minimal
# Debian 12 (bookworm): a root with nothing but the essential packages and
# apt (mmdebstrap --variant=apt), the committed HEAD cloned into it, and the
# two command lines taken from the README's first ```sh block, run there as
# root. Uncommitted changes are not part of the check.
#   .ci/fresh_debian.sh [directory for the root, which must not exist]
# Needs root, git and mmdebstrap. The mirror is the one this machine's apt
# uses for bookworm (or $CT_DEBIAN_MIRROR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
suite=bookworm

# This machine's mirror for the suite, from its one-line or deb822 sources.
host_mirror() {
    local files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
    local existing=()
    for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done
    [ ${#existing[@]} -gt 0 ] || return 0
    awk -v suite="$suite" '
        function found(uri) { print uri; exit }
        # One-line: deb [options] URI SUITE COMPONENTS...
        $1 == "deb" { line = $0; sub(/\[[^]]*\]/, "", line); split(line, word);
                      if (word[3] == suite) found(word[2]) }
        # deb822: paragraphs separated by blank lines.
        FNR == 1 || /^[[:space:]]*$/ { uris = ""; suites = ""; types = "" }
        /^Types:/  { types = $0 }
        /^URIs:/   { uris = $2 }
        /^Suites:/ { suites = " " $0 " " }
        types ~ /[[:space:]]deb([[:space:]]|$)/ && uris != "" && index(suites, " " suite " ") {
            found(uris) }
    ' "${existing[@]}"
}
mirror=${CT_DEBIAN_MIRROR:-$(host_mirror)}
mirror=${mirror:-http://deb.debian.org/debian}

# The README's two commands, from the commit: the first ```sh block's first
# two command lines, comments stripped.
mapfile -t commands < <(awk '/^```sh[[:space:]]*$/ { inside = 1; next }
                             inside && /^```/ { exit }
                             inside' < <(git -C "$top" show HEAD:README.md) |
                        sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]#.*$//' -e 's/^#.*//' \
                            -e 's/[[:space:]]*$//' -e '/^$/d' | head -n 2)
if [ ${#commands[@]} -ne 2 ]; then
    echo "fresh_debian: the README's first sh block has no two commands" >&2
    exit 1
fi

root=${1:-$(mktemp -u /tmp/ct-fresh-debian.XXXXXX)}
if [ -e "$root" ]; then
    echo "fresh_debian: $root exists already" >&2
    exit 1
fi
mounted=()
cleanup() {
    local status=$? m i
    [ $status -eq 0 ] || echo "fresh_debian: failed (exit status $status)" >&2
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        m=${mounted[i]}
        umount -R "$m" 2>/dev/null || umount -R -l "$m" || true
    done
    # Never remove while anything is still mounted inside: /dev and /sys
    # are the host's own.
    if grep -q " $root/" /proc/self/mountinfo; then
        echo "fresh_debian: $root still has mounts; left in place" >&2
    else
        rm -rf --one-file-system "$root"
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start=$SECONDS
commit=$(git -C "$top" rev-parse HEAD)
echo "fresh_debian: minimal $suite root in $root from $mirror"
mmdebstrap --quiet --mode=root --variant=apt "$suite" "$root" "deb $mirror $suite main" </dev/null
echo "fresh_debian: root made in $((SECONDS - start)) s, $(du -sm "$root" | cut -f1) MB"

# The repository at HEAD, as a clone would have it.
git init -q "$root/root/ct"
git -C "$root/root/ct" fetch -q "$top" HEAD
git -C "$root/root/ct" checkout -q --detach FETCH_HEAD
[ "$(git -C "$root/root/ct" rev-parse HEAD)" = "$commit" ]
echo "fresh_debian: commit $commit"

# What apt and the tests need from the host: name resolution, /proc (the
# tests read /proc/self/fd) and /dev (they write to /dev/full).
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"; mounted+=("$root/proc")
mount --rbind /dev "$root/dev"; mounted+=("$root/dev")
mount --make-rslave "$root/dev"

for command in "${commands[@]}"; do
    echo "fresh_debian: # ${command}"
    phase=$SECONDS
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/sh -c "cd /root/ct && $command" </dev/null
    echo "fresh_debian: that took $((SECONDS - phase)) s"
done

# Everything is there now: the set-up must install nothing and say nothing.
again=$(chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/sh -c "cd /root/ct && tools/setup.sh" </dev/null 2>&1)
if [ -n "$again" ]; then
    printf 'fresh_debian: tools/setup.sh, run again, said:\n%s\n' "$again" >&2
    exit 1
fi
echo "fresh_debian: passed in $((SECONDS - start)) s"
