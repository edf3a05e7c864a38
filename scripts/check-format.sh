#!/usr/bin/env bash
# Checks that every C and C++ file git tracks is as clang-format (with the repository's
# .clang-format) leaves it: prints each file that is not, with the first lines that differ,
# and exits 1 when there is one. `scripts/check-format.sh --fix` formats them instead.
#   scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || {
  echo "check-format: clang-format is missing (scripts/install-deps.sh installs it)" >&2
  exit 2
}

mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi

# One run over all files; only when it finds something is each file looked at.
if report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "check-format: every C and C++ file is as clang-format leaves it"
  exit 0
fi
mapfile -t unformatted < <(grep -oE '^[^:]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u)
for file in "${unformatted[@]}"; do
  echo "$file: not as clang-format leaves it:"
  clang-format "$file" | diff "$file" - | head -n 8 | sed 's/^/  /'
done
[ ${#unformatted[@]} -ne 0 ] || echo "$report"
echo "check-format: ${#unformatted[@]} file(s) to format (scripts/check-format.sh --fix)" >&2
exit 1
