#!/usr/bin/env bash
# Makes the Debian package (deb) and the Windows zip (zip), both by default, in build/packages,
# checks the Debian package with lintian and runs both unpacked: the zip under wine, in the
# prefix of tools/wine-env.sh (made here when it is missing).
#
#   tools/package.sh [deb] [zip]
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb zip)
for kind in "${kinds[@]}"; do
  case $kind in
    deb | zip) ;;
    *) echo "package.sh: unknown package '$kind' (deb, zip)" >&2; exit 2 ;;
  esac
done

tools/install-deps.sh package
# The Linux build; its derived tables serve the Windows build as well.
cmake --preset local
cmake --build --preset local
for kind in "${kinds[@]}"; do
  if [ "$kind" = deb ]; then
    cpack --preset deb
    # Errors fail the run; warnings and notes are shown.
    deb=$(ls -t build/packages/kelvo_*_*.deb | head -n 1)
    lintian --fail-on error "$deb"
    # Unpacked anywhere, the package's programs find the tables beside them.
    tree=$(mktemp -d)
    dpkg-deb -x "$deb" "$tree"
    sample="$PWD/data/sample.txt"
    (cd "$tree" && usr/bin/tamorlek "$sample" sample.euc && usr/bin/quilvar sample.euc sample.sjis &&
      usr/bin/kelvo -q -t utf-8 "$sample" > sample.utf8 && usr/bin/kelvo -q --detect sample.utf8)
    rm -rf "$tree"
  else
    # A build tree first configured with the win32-thread compilers keeps them whatever the
    # toolchain file now says: it is made again with the POSIX-thread ones.
    if ls build/windows/CMakeFiles/*/CMakeCXXCompiler.cmake >/dev/null 2>&1 &&
       ! grep -q 'set(CMAKE_CXX_COMPILER ".*-posix")' build/windows/CMakeFiles/*/CMakeCXXCompiler.cmake; then
      rm -rf build/windows
    fi
    cmake --preset windows
    cmake --build --preset windows
    cpack --preset windows-zip
    # Unpacked anywhere, the zip's programs find the tables beside them, and C:\Kelvo\ of an
    # earlier install still serves; their outputs are those of the Linux build.
    zip=$(ls -t build/packages/kelvo-*-win32.zip | head -n 1)
    prefix="${WINEPREFIX:-$PWD/build/wine-prefix}"
    if [ ! -f "$prefix/system.reg" ]; then
      tools/wine-env.sh
      trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true' EXIT
    fi
    python3 tests/package/check_zip.py "$zip" "$PWD/build/local/bin"
  fi
done
ls -l build/packages/*.deb build/packages/*.zip 2>/dev/null || true
