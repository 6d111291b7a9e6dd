#!/usr/bin/env bash
# Fails when a C++ file in the repository differs from what clang-format makes of it, and names
# the files. Fix them with: clang-format -i $(git ls-files '*.cpp' '*.h')
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    echo "check-format: clang-format is not installed" >&2
    exit 1
fi
# Outside a clone git lists nothing (a source tarball, a clone owned by another user), and
# clang-format without files would read its standard input: the sources are found by name then.
if ! listed=$(git ls-files '*.cpp' '*.h' 2>/dev/null) || [ -z "$listed" ]; then
    listed=$(find src tests bench tools -name '*.cpp' -o -name '*.h' | sort)
fi
mapfile -t files <<<"$listed"
if [ ${#files[@]} -eq 0 ] || [ -z "${files[0]}" ]; then
    echo "check-format: no C++ files found" >&2
    exit 1
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>/dev/null; then
    clang-format --dry-run "${files[@]}" 2>&1 | grep -o '^[^:]*:[0-9]*:[0-9]*: warning' | cut -d: -f1 | sort -u |
        sed 's/^/check-format: not formatted: /' >&2
    echo "check-format: run clang-format -i on the files above" >&2
    exit 1
fi
