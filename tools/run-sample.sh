#!/usr/bin/env bash
# Builds the programs, installs them with their tables under build/local/stage, and converts
# the bundled UTF-16LE sample to EUC-JP, back to UTF-16LE and on to Shift_JIS in
# build/local/run.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset local
cmake --build --preset local
cmake --install build/local

bin="$PWD/build/local/stage/bin"
mkdir -p build/local/run
cd build/local/run
"$bin/tamorlek" ../../../data/sample.txt sample-euc.txt
"$bin/brenodax" sample-euc.txt sample-utf16.txt
"$bin/quilvar" sample-euc.txt sample-sjis.txt
ls -l
