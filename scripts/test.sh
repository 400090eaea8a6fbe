#!/usr/bin/env bash
# Sets everything up and runs every test: the plain build, then the sanitizer build, then each
# fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
echo "=== clang-format ==="
if ! command -v clang-format >/dev/null; then
  echo "clang-format is missing although scripts/deps.sh ran: the format check cannot run" >&2
  exit 1
fi
find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
for preset in default asan; do
  echo "=== $preset build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset tests ==="
  ctest --preset "$preset" -j "$jobs"
done
echo "=== fuzz targets ==="
bash scripts/fuzz.sh 20
