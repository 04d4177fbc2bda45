#!/usr/bin/env bash
# Installs what building and testing kawase needs on Debian 12, if missing,
# and any further packages named as arguments.
set -euo pipefail

packages=(g++ cmake ninja-build python3 googletest libgtest-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
