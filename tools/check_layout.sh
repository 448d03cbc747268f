#!/usr/bin/env bash
# Checks that no two folders under src/ include each other's headers: each
# folder may include only folders below it in the data flow.
set -euo pipefail
cd "$(dirname "$0")/../src"
edges=$(grep -rHoE '^#include "[a-z_]+/' --include=*.h --include=*.cpp . |
    sed -E 's#^\./([a-z_]+)/[^:]*:\#include "([a-z_]+)/#\1 \2#' | awk 'NF == 2 && $1 != $2' | sort -u)
status=0
while read -r from to; do
    if grep -qx "$to $from" <<<"$edges"; then
        echo "src/$from and src/$to include each other's headers"
        status=1
    fi
done <<<"$edges"
exit $status
