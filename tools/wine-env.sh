#!/usr/bin/env bash
# Prepares wine for the Windows tests: installs what is missing (wine, its 32-bit loader and
# the locales), makes the Japanese UTF-8 locale from which wine takes code page 932, creates
# a fresh 32-bit prefix for the tests and leaves a warm wine server running in it.
#
# The prefix is build/wine-prefix in the source tree unless WINEPREFIX says otherwise;
# tools/wine-run, which runs the test programs, uses the same default. Installing packages
# and making the locale go through sudo unless the script runs as root.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine-prefix}"
export WINEARCH=win32
export WINEDEBUG=-all
mkdir -p build

missing=()
dpkg -s locales >/dev/null 2>&1 || missing+=(locales)
dpkg -s wine >/dev/null 2>&1 || missing+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]} (log: build/wine-install.log)"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # Another install on the machine may hold the package lock for a while: wait for it.
  if ! { as_root apt-get update -qq -o DPkg::Lock::Timeout=600 &&
         as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
           --no-install-recommends "${missing[@]}"; } >build/wine-install.log 2>&1; then
    tail -n 30 build/wine-install.log >&2
    exit 1
  fi
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

# A fresh prefix each time: nothing left over from an earlier run (tables in C:\Kelvo\, a
# changed registry) can make a test pass or fail.
if [ -d "$WINEPREFIX" ]; then
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
fi
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w </dev/null >/dev/null 2>&1 || true

# A persistent server and one warm-up run. Without them the first wine call inside a test
# starts the server itself, which can take long enough to reach the test's time-out. Their
# output is detached so that nothing waits on a pipe held open by the server.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

# The tests expect the Japanese "ANSI" code page: HIRAGANA LETTER A is 82 A0 in it.
if [ "$(wine cmd /c echo あ </dev/null 2>/dev/null | od -An -tx1 | tr -d ' \n')" != 82a00d0a ]; then
  echo "wine in $WINEPREFIX does not use code page 932" >&2
  exit 1
fi
echo "wine prefix ready: $WINEPREFIX"
