#!/bin/sh
# Applies the patches named in DIR/series, in order, to the PAPPL source in
# the current directory; stops at the first that does not apply cleanly.
set -eu
dir="$1"
grep -v '^#' "$dir/series" | while read -r patch; do
    [ -n "$patch" ] || continue
    patch -p1 --forward --no-backup-if-mismatch --fuzz=0 -s < "$dir/$patch" ||
        { echo "apply-patches: $patch does not apply" >&2; exit 1; }
done
