#!/usr/bin/env bash
# Benchmark kelvo on a tree and on one large file.
#
#   bench/kelvo.sh [--quick] BUILD_BIN_DIR
#
# The tree: every Japanese manual page of manpages-ja and manpages-ja-dev (about 1,800
# files), each in EUC-JP, converted to UTF-8 into an output directory by
#   kelvo -j 1 and kelvo -j 2 (the encoding given, and decided per file),
#   nkf, one process per file (find -print0 | xargs -0 -n 2 nkf -O), and the same with xargs -P 2.
# The large file: ja-SIZE.euc and .utf16 of bench/make_corpus.py (100 MB; --quick: 10 MB),
# kelvo against brenodax, tamorlek and quilvar in the directions they share.
# Peak memory: the maximum resident set of kelvo -j 1 and -j 2 on both.
# Environment: KELVO_BENCH_DIR (default /tmp/kelvo-bench), KELVO_TABLES_DIR (the derived
# tables; default BUILD_BIN_DIR/../e2e-tables), BENCH_RUNS (default 5; quick: 2).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
quick=0
if [[ ${1:-} == --quick ]]; then quick=1; shift; fi
[[ $# -eq 1 && -d $1 ]] || { sed -n '2,15s/^# \{0,1\}//p' "$0" >&2; exit 2; }
bin=$(cd "$1" && pwd)
bench=${KELVO_BENCH_DIR:-/tmp/kelvo-bench}
tables=${KELVO_TABLES_DIR:-$bin/../e2e-tables}
if ((quick)); then size=10m; runs=${BENCH_RUNS:-2}; else size=100m; runs=${BENCH_RUNS:-5}; fi
for tool in hyperfine nkf iconv /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "kelvo.sh: $tool is missing" >&2; exit 2; }
done
work=$(mktemp -d "$bench/kelvo-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The tree: each page's source (UTF-8 in Debian) in EUC-JP; a page with a character that
# EUC-JP lacks is left out.
tree=$bench/man-tree-euc
if [[ ! -d $tree ]]; then
  mkdir -p "$tree.new"
  (cd /usr/share/man/ja && find . -name '*.gz' -type f) | while read -r page; do
    target=$tree.new/${page%.gz}
    mkdir -p "$(dirname "$target")"
    gzip -dc "/usr/share/man/ja/$page" | iconv -f UTF-8 -t EUC-JP-MS > "$target" 2> /dev/null ||
      rm -f "$target"
  done
  mv "$tree.new" "$tree"
fi
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)
echo "tree: $files files, $bytes bytes of EUC-JP"

# Each command gets an empty output directory with the tree's directories made: nkf makes
# no directories, and kelvo's making of them is part of its work but cheap.
prepare='rm -rf '"$work"'/out && mkdir '"$work"'/out'
prepare_dirs="$prepare"' && (cd '"$tree"'/.. && find man-tree-euc -type d -printf "'"$work"'/out/%p\0" | xargs -0 mkdir -p)'
pairs=$work/pairs
(cd "$tree/.." && find man-tree-euc -type f -print0 | while IFS= read -r -d '' f; do
  printf '%s\0%s\0' "$PWD/$f" "$work/out/$f"; done) > "$pairs"
hyperfine --runs "$runs" --warmup 1 --export-json "$work/tree.json" \
  -n "kelvo -j 1" --prepare "$prepare" "$bin/kelvo -q -j 1 -f euc-jp -t utf-8 -o $work/out $tree" \
  -n "kelvo -j 2" --prepare "$prepare" "$bin/kelvo -q -j 2 -f euc-jp -t utf-8 -o $work/out $tree" \
  -n "kelvo -j 2, auto" --prepare "$prepare" "$bin/kelvo -q -j 2 -t utf-8 -o $work/out $tree" \
  -n "xargs -n 1 nkf" --prepare "$prepare_dirs" "xargs -0 -n 2 nkf -E -w -O < $pairs" \
  -n "xargs -P 2 nkf" --prepare "$prepare_dirs" "xargs -0 -n 2 -P 2 nkf -E -w -O < $pairs"

# The outputs agree where both converters map the text the same way.
rm -rf "$work/out" "$work/nkf" && mkdir "$work/out"
"$bin/kelvo" -q -j 2 -f euc-jp -t utf-8 -o "$work/out" "$tree"
(cd "$work/out" && find . -type f | sort | head -200) | while read -r f; do
  nkf -E -w "$tree/${f#./man-tree-euc/}" | cmp -s - "$work/out/$f" || echo "differs from nkf: $f"
done | head -5

# The large file.
"$here/make_corpus.py" --dir "$bench" --sizes "$size" -q
cp "$tables"/*.bin "$repo"/data/*.bin "$work/"
cd "$work"
hyperfine --runs "$runs" --warmup 1 --export-json "$work/large.json" \
  -n "brenodax" "$bin/brenodax $bench/ja-$size.euc out.utf16" \
  -n "kelvo euc-jp->utf-16le" "$bin/kelvo -f euc-jp -t utf-16 -n -q $bench/ja-$size.euc" \
  -n "kelvo euc-jp->utf-16le, written" "$bin/kelvo -f euc-jp -t utf-16 $bench/ja-$size.euc > k.utf16" \
  -n "tamorlek" "$bin/tamorlek $bench/ja-$size.utf16 out.euc" \
  -n "kelvo utf-16->euc-jp, written" "$bin/kelvo -f utf-16 -t euc-jp $bench/ja-$size.utf16 > k.euc" \
  -n "quilvar" "$bin/quilvar $bench/ja-$size.euc out.sjis" \
  -n "kelvo euc-jp->shift_jis, written" "$bin/kelvo -f euc-jp -t shift_jis $bench/ja-$size.euc > k.sjis" \
  -n "kelvo euc-jp->utf-8, written" "$bin/kelvo -f euc-jp -t utf-8 $bench/ja-$size.euc > k.utf8" \
  -n "kelvo auto->utf-8, written" "$bin/kelvo -t utf-8 $bench/ja-$size.euc > k.utf8" \
  -n "iconv euc-jp->utf-8" "iconv -f EUC-JP-MS -t UTF-8 $bench/ja-$size.euc > i.utf8" \
  -n "nkf euc-jp->utf-8" "nkf -E -w $bench/ja-$size.euc > n.utf8"
for pair in "k.utf16 out.utf16" "k.euc out.euc" "k.sjis out.sjis"; do
  set -- $pair
  cmp -s "$1" "$2" && echo "$1: the same bytes as $2" || echo "$1: differs from $2"
done

# Peak memory: the maximum resident set of one run.
peak() { /usr/bin/time -f %M "$@" 2>&1 > /dev/null | tail -n 1; }
echo "peak resident kB: tree -j 1 $(peak "$bin/kelvo" -q -j 1 -f euc-jp -t utf-8 -n "$tree")," \
  "tree -j 2 $(peak "$bin/kelvo" -q -j 2 -f euc-jp -t utf-8 -n "$tree")," \
  "large -j 1 $(peak "$bin/kelvo" -q -j 1 -t utf-8 -n "$bench/ja-$size.euc")," \
  "two large files -j 2 $(peak "$bin/kelvo" -q -j 2 -t utf-8 -n "$bench/ja-$size.euc" "$bench/ja-$size.sjis")"
python3 - "$work/tree.json" "$work/large.json" << 'EOF'
import json, sys
for path in sys.argv[1:]:
    results = {r["command"]: r["mean"] for r in json.load(open(path))["results"]}
    for name, mean in results.items():
        print(f"{name:34} {mean:8.3f} s")
    if "kelvo -j 1" in results:
        print(f"kelvo -j 2 / -j 1: {results['kelvo -j 1'] / results['kelvo -j 2']:.2f}x; "
              f"against xargs -n 1 nkf: {results['xargs -n 1 nkf'] / results['kelvo -j 2']:.1f}x; "
              f"against xargs -P 2 nkf: {results['xargs -P 2 nkf'] / results['kelvo -j 2']:.1f}x")
EOF
