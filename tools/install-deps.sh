#!/usr/bin/env bash
# Installs the Debian packages that Kelvo needs and this machine lacks.
#
#   tools/install-deps.sh [GROUP...]
#
# Groups: build (the default: build and run the programs and their tests), package (make the
# Debian package and the Windows zip), fuzz (clang and libFuzzer for the fuzz targets), ci (what
# .ci/run needs besides: the sanitizer run, the Windows cross-build, the benchmark and the fuzz
# targets). Runs apt-get as root, through sudo otherwise.
set -euo pipefail

build=(cmake ninja-build g++ libgtest-dev python3 groff-base gzip acl)
package=(mingw-w64 dpkg-dev file lintian)
fuzz=(clang libclang-rt-14-dev)
ci=(mingw-w64 hyperfine nkf time manpages-ja manpages-ja-dev "${fuzz[@]}")

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build)
wanted=()
for group in "${groups[@]}"; do
  case $group in
    build) wanted+=("${build[@]}") ;;
    package) wanted+=("${build[@]}" "${package[@]}") ;;
    fuzz) wanted+=("${build[@]}" "${fuzz[@]}") ;;
    ci) wanted+=("${build[@]}" "${package[@]}" "${ci[@]}") ;;
    *) echo "install-deps.sh: unknown group '$group' (build, package, fuzz, ci)" >&2; exit 2 ;;
  esac
done

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
apt_get() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

missing=()
for p in "${wanted[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
updated=no
if [ ${#missing[@]} -gt 0 ]; then
  apt_get update -qq
  updated=yes
  apt_get install -y -qq "${missing[@]}"
fi

# The benchmark's corpus comes from the Japanese manual pages; some slimmed-down systems tell
# dpkg to leave manual pages out, so bring them in explicitly when they are missing.
if [[ " ${groups[*]} " == *" ci "* ]] && [ -z "$(ls -A /usr/share/man/ja 2>/dev/null)" ]; then
  [ $updated = yes ] || apt_get update -qq
  apt_get install -y -qq --reinstall \
    -o Dpkg::Options::=--path-include='/usr/share/man/ja/*' manpages-ja manpages-ja-dev
fi
