#!/usr/bin/env bash
# Sets up, builds and runs every test: the sanitizer build (AddressSanitizer
# and UndefinedBehaviorSanitizer) and the optimised build, warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
for preset in ci-dev ci-release; do
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "build $preset: $((SECONDS - start)) s"
  start=$SECONDS
  ctest --preset "$preset"
  echo "tests $preset: $((SECONDS - start)) s"
done
