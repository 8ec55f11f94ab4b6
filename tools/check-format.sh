#!/usr/bin/env bash
# Fails when a tracked C++ file is not in the project's clang-format style.
# With --fix, reformats those files in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || exit 0
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "check-format: not in clang-format style (run tools/check-format.sh --fix):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "check-format: ${#files[@]} files clean"
