#!/usr/bin/env bash
# Runs cases and shows, as a diff against each case file, what the program
# wrote. With --accept the case files take the program's output: read every
# line of the diff first.
#   tests/cases/review.sh [--accept] [CASE...]     (all cases without a name)
set -euo pipefail
cases=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$cases/../../build}
accept=0
if [ "${1:-}" = --accept ]; then
    accept=1
    shift
fi
filter='Cases.*'
if [ $# -gt 0 ]; then
    filter=$(printf 'Cases.%s:' "$@")
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
TALLYCNV_CASES_OUTPUT=$out "$build/tallycnv_tests" --gtest_filter="$filter" >/dev/null || true
for written in "$out"/*.case; do
    case_file=$cases/$(basename "$written")
    if ! diff -u "$case_file" "$written" && [ $accept = 1 ]; then
        cp "$written" "$case_file"
    fi
done
