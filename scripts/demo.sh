#!/usr/bin/env bash
# Sets up, builds kawase and converts the bundled sample to Shift_JIS, then
# shows the bytes and the file converted back to UTF-8.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kawase
build/release/kawase
