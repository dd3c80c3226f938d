#!/bin/sh
# The manual pages format without a single warning.
status=0
for page in "$@"; do
    for device in utf8 ascii; do
        warnings=$(groff -man -ww -z -T"$device" "$page" 2>&1)
        if [ -n "$warnings" ]; then
            printf '%s (%s):\n%s\n' "$page" "$device" "$warnings"
            status=1
        fi
    done
done
exit $status
