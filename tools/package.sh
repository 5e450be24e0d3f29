#!/usr/bin/env bash
# Makes the Debian package (deb) and the Windows zip (zip), both by default, in build/packages,
# and checks the Debian package with lintian.
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
    cmake --preset windows
    cmake --build --preset windows
    cpack --preset windows-zip
  fi
done
ls -l build/packages/*.deb build/packages/*.zip 2>/dev/null || true
