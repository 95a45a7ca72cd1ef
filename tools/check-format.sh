#!/usr/bin/env bash
# Fails when a tracked C++ file or page script differs from what the
# checked-in styles (.clang-format, .prettierrc.json) make of it.
# tools/check-format.sh --fix formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=$(git ls-files -- '*.cpp' '*.cc' '*.h' '*.hpp')
scripts=$(git ls-files -- '*.js' '*.mjs')
status=0
if [ "${1:-}" = "--fix" ]; then
  echo "$cxx" | xargs clang-format-14 -i
  echo "$scripts" | xargs npx --no-install prettier --log-level warn --write
  exit 0
fi
echo "$cxx" | xargs clang-format-14 --dry-run -Werror || status=1
echo "$scripts" | xargs npx --no-install prettier --log-level warn --check || status=1
[ $status -eq 0 ] || echo "Unformatted files above; tools/check-format.sh --fix formats them." >&2
exit $status
