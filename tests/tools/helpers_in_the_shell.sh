#!/bin/sh
# The helper programs in the shell: each answers --help on standard output
# with exit 0, and a folder that does not exist with one line on standard
# error and exit 2 (never an uncaught exception, which aborts).
# Usage: helpers_in_the_shell.sh PROGRAM...
status=0
for program in "$@"; do
    name=$(basename "$program")
    out=$("$program" --help) || { echo "$name --help: exit $?"; status=1; }
    case $out in "usage: $name "*) ;; *) echo "$name --help printed: $out"; status=1 ;; esac
    case $name in
        make_bench_data) set -- base 10 /nonexistent/folder/FILE ;;
        plain_vbv) set -- /nonexistent/folder/A.DAT /nonexistent/folder/B.TXT ;;
        *) set -- /nonexistent/folder ;;
    esac
    err=$("$program" "$@" 2>&1 >/dev/null)
    code=$?
    lines=$(printf '%s\n' "$err" | wc -l)
    if [ "$code" -ne 2 ] || [ "$lines" -ne 1 ]; then
        echo "$name on a missing folder: exit $code, $lines lines: $err"
        status=1
    fi
done
exit $status
