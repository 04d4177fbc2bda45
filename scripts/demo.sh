#!/usr/bin/env bash
# Sets up, builds kawase and converts the bundled sample to Shift_JIS, then
# shows the bytes and the file converted back to UTF-8.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kawase >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "== kawase samples/sample.txt -o sample.sjis   (UTF-8 to Shift_JIS)"
build/release/kawase samples/sample.txt -o "$out/sample.sjis"
echo "== the Shift_JIS bytes"
od -A x -t x1 "$out/sample.sjis"
echo "== kawase -v sample.sjis   (back to UTF-8)"
build/release/kawase -v "$out/sample.sjis"
