#!/usr/bin/env bash
# Fails when a C++ file differs from the house style in .clang-format, and
# names the files that do.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
  if ! clang-format --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file (clang-format -i $file)"
    status=1
  fi
done < <(git ls-files '*.cpp' '*.h')
exit $status
