#!/usr/bin/env bash
# Runs recompute.py with a Python that has pandas (Debian's python3-pandas is
# installed for /usr/bin/python3; another python3 on PATH may lack it).
#   recompute.sh [SCRIPT.py] TALLYCNV CHECK_FILES    (recompute.py by default)
set -euo pipefail
script=recompute.py
if [[ "${1:-}" == *.py ]]; then
  script=$1
  shift
fi
for python in /usr/bin/python3 python3; do
  if "$python" -c 'import pandas' >/dev/null 2>&1; then
    exec "$python" "$(dirname "$0")/$script" "$@"
  fi
done
echo "recompute.sh: no python3 with pandas (Debian: apt-get install python3-pandas)" >&2
exit 77
