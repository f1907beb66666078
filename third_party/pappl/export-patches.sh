#!/bin/sh
# Writes the patch series from a PAPPL git tree whose first commit is the
# pristine 1.3.1 source and whose later commits are one patch each, their
# messages the patches' headers:
#   third_party/pappl/export-patches.sh ~/src/pappl-1.3.1
# Each commit becomes NNNN-subject.patch (header, then the diff) and
# `series` lists them in order.
set -eu
repo="$1"
dir="$(cd "$(dirname "$0")" && pwd)"
base=$(git -C "$repo" rev-list --max-parents=0 HEAD)
rm -f "$dir"/[0-9][0-9][0-9][0-9]-*.patch
{
    echo "# PAPPL 1.3.1 patches, applied in this order (each says what it mends)."
    n=0
    for commit in $(git -C "$repo" rev-list --reverse "$base"..HEAD); do
        n=$((n + 1))
        slug=$(git -C "$repo" log -1 --format=%s "$commit" | tr 'A-Z' 'a-z' | tr -cs 'a-z0-9' '-' | cut -c1-60 | sed 's/-$//')
        name=$(printf '%04d-%s.patch' "$n" "$slug")
        {
            # DEP-3: the subject is the short description; the body's
            # description and recipe are its long form.
            git -C "$repo" log -1 --format='Description: %s%n%b' "$commit" | awk '
                NR == 1 { print; next }
                /^$/ { next }
                /^Description: / { sub(/^Description: /, " "); print; next }
                /^How to reproduce:/ { print " ."; print " " $0; next }
                { print }'

            echo "---"
            git -C "$repo" diff --stat=72 "$commit^" "$commit"
            echo
            git -C "$repo" diff --no-color --full-index "$commit^" "$commit"
        } > "$dir/$name"
        echo "$name"
    done
} > "$dir/series.new"
mv "$dir/series.new" "$dir/series"
cat "$dir/series"
