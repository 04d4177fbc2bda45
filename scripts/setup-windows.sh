#!/usr/bin/env bash
# Installs what cross-building kawase for Windows and running its tests under
# Wine needs on Debian 12, if missing: the MinGW-w64 compilers (the -posix
# variants: GoogleTest needs std::mutex and std::condition_variable, which
# GCC 12's libstdc++ for Windows has only in that thread model; see
# cmake/mingw-common.cmake), GoogleTest's sources, Wine for both word sizes
# and the Japanese locale that makes Wine report code page 932 as the
# system code page. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# A 32-bit program under Wine needs the i386 half of Wine; without it such a
# program "runs" and exits 0 having done nothing.
need_update=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update="yes"
fi

packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest
          wine wine64 wine32:i386 locales)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ]; then
  $sudo apt-get update
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Code page 932 as Wine's system code page comes from a Japanese locale.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
