#!/usr/bin/env bash
# Benchmark tamorlek, brenodax and quilvar against iconv, nkf, cp, cat and the I/O floor.
#
#   bench/run.sh [--quick] [--size SIZE] [--sweep SIZES] BUILD_BIN_DIR
#
# See bench/README.md.  Environment:
#   KELVO_BENCH_DIR     corpus and results directory (default /tmp/kelvo-bench)
#   KELVO_TABLES_DIR    directory holding the five table files (*.bin); they
#                       are copied next to the programs' working directory
#   BENCH_RUNS          timed runs on the big file (default 5; quick: 1)
#   BENCH_LATENCY_RUNS  timed runs on the 1 KB file (default 100; quick: 1)
#   BENCH_SWEEP_RUNS    timed runs at each size of the sweep (default 3)
#   BENCH_KEEP=1        keep the working directory (outputs, logs, JSON)
#   PYTHON              Python 3 to use (default /usr/bin/python3)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")

usage() {
  sed -n '2,14s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
}

die() { echo "bench: $*" >&2; exit 2; }
say() { echo "bench: $*" >&2; }

quick=0
size=
sweep=-
bin_dir=
while (($#)); do
  case $1 in
    --quick) quick=1 ;;
    --size) (($# > 1)) || die "--size needs a value"; size=$2; shift ;;
    --size=*) size=${1#--size=} ;;
    --sweep) (($# > 1)) || die "--sweep needs a value"; sweep=$2; shift ;;
    --sweep=*) sweep=${1#--sweep=} ;;
    -h|--help) usage; exit 0 ;;
    --) shift; (($#)) && { bin_dir=$1; shift; }; (($# == 0)) || die "too many arguments"; break ;;
    -*) usage >&2; die "unknown option $1" ;;
    *) [[ -z $bin_dir ]] || die "too many arguments"; bin_dir=$1 ;;
  esac
  shift
done
[[ -n $bin_dir ]] || { usage >&2; die "BUILD_BIN_DIR missing"; }
[[ -d $bin_dir ]] || die "$bin_dir is not a directory"
bin_dir=$(cd "$bin_dir" && pwd)

if ((quick)); then
  mode=quick
  size=${size:-1m}
  runs=${BENCH_RUNS:-1}; warmup=0
  lat_runs=${BENCH_LATENCY_RUNS:-1}; lat_warmup=0
else
  mode=full
  size=${size:-100m}
  runs=${BENCH_RUNS:-5}; warmup=1
  lat_runs=${BENCH_LATENCY_RUNS:-100}; lat_warmup=10
fi
# The sizes of the time-against-size sweep: none in a quick run, 1 KB to 1 GB in a full one.
if [[ $sweep == - ]]; then
  ((quick)) && sweep= || sweep=1k,10k,100k,1m,10m,100m,1g
fi
sweep=${sweep,,}
IFS=, read -r -a sweep_sizes <<<"$sweep"
for s in "${sweep_sizes[@]}"; do
  [[ $s =~ ^[0-9]+[kmg]?$ ]] || die "bad sweep size $s"
done
sweep_runs=${BENCH_SWEEP_RUNS:-3}
[[ $size =~ ^[0-9]+[kmgKMG]?$ ]] || die "bad size $size (use e.g. 1m, 100m)"
size=${size,,}

# ------------------------------------------------------------ tools
PY=${PYTHON:-/usr/bin/python3}
[[ -x $PY ]] || PY=$(command -v python3 || true)
missing=()
[[ -n $PY ]] || missing+=("python3 (Debian package python3)")
for t in hyperfine:hyperfine iconv:libc-bin nkf:nkf sed:sed timeout:coreutils; do
  command -v "${t%%:*}" >/dev/null 2>&1 || missing+=("${t%%:*} (Debian package ${t#*:})")
done
[[ -x /usr/bin/time ]] || missing+=("/usr/bin/time (Debian package time)")
((${#missing[@]} == 0)) || die "missing: ${missing[*]}"

# ------------------------------------------------------------ corpus
corpus=${KELVO_BENCH_DIR:-/tmp/kelvo-bench}
[[ $corpus != *$'\t'* && $corpus != *$'\n'* ]] || die "KELVO_BENCH_DIR may not hold tabs or newlines"
mkdir -p "$corpus"
corpus=$(cd "$corpus" && pwd)
need_corpus=0
corpus_sizes=1k,$size
for s in "${sweep_sizes[@]}"; do corpus_sizes+=,$s; done
IFS=, read -r -a all_sizes <<<"$corpus_sizes"
for s in "${all_sizes[@]}"; do
  for e in utf16 euc sjis; do
    [[ -s $corpus/ja-$s.$e ]] || need_corpus=1
  done
done
if ((need_corpus)); then
  say "making the corpus in $corpus"
  "$PY" "$here/make_corpus.py" --dir "$corpus" --sizes "$corpus_sizes"
fi

# ------------------------------------------------------------ work dir
work=$(mktemp -d "$corpus/run.XXXXXX")
cleanup() {
  if [[ ${BENCH_KEEP:-0} == 1 ]]; then
    say "kept $work"
  else
    rm -rf -- "$work"
  fi
}
trap cleanup EXIT
mkdir -p "$work"/{out,json,mem,skip,log,ref}
# The programs run here: they find their tables in the current directory
# and leave their error-log files (err*.txt) here. Empty settings files, as
# a user's directory holds them, so that no run writes a report for want of one.
cd "$work"
touch set_tamorlek.txt set_brenodax.txt set_quilvar.txt

q() { # quote one word for sh
  printf "'%s'" "${1//\'/\'\\\'\'}"
}

progs=(tamorlek brenodax quilvar)
declare -A prog_in=([tamorlek]=utf16 [brenodax]=euc [quilvar]=euc)
declare -A prog_out=([tamorlek]=euc [brenodax]=utf16 [quilvar]=sjis)
declare -A derived=([tamorlek]='UTF16~EUC-JP.bin' [brenodax]='EUC-JP~UTF16.bin' [quilvar]='EUC-JP~Shift_JIS.bin')
sources=('MS932~UTF16.bin' 'MS932~EUC-JP.bin')
declare -A problem=()

if [[ -n ${KELVO_TABLES_DIR:-} ]]; then
  shopt -s nullglob
  tables=("$KELVO_TABLES_DIR"/*.bin)
  shopt -u nullglob
  ((${#tables[@]})) || die "no *.bin table files in KELVO_TABLES_DIR=$KELVO_TABLES_DIR"
  cp -- "${tables[@]}" "$work"/
fi

# probe PROG: does it convert the 1 KB file?
probe() {
  local p=$1 out="$work/log/probe-$p.${prog_out[$p]}" rc=0
  rm -f -- "$out"
  timeout 60 "$bin_dir/$p" "$corpus/ja-1k.${prog_in[$p]}" "$out" \
    >"$work/log/probe-$p.log" 2>&1 </dev/null || rc=$?
  if ((rc != 0)); then
    problem[$p]="exit status $rc on ja-1k.${prog_in[$p]}"
    return 1
  fi
  if [[ ! -s $out ]]; then
    problem[$p]="no output for ja-1k.${prog_in[$p]}"
    return 1
  fi
  unset 'problem[$p]'
}

for p in "${progs[@]}"; do
  if [[ ! -x $bin_dir/$p ]]; then
    problem[$p]="not found in $bin_dir"
    continue
  fi
  probe "$p" && continue
  # No table where the program looks: give it the source tables here and
  # let it derive its own (a run without arguments does that).
  if [[ ! -e $work/${derived[$p]} ]]; then
    for s in "${sources[@]}"; do
      [[ -e $work/$s || ! -e $repo/data/$s ]] || cp -- "$repo/data/$s" "$work/"
    done
    say "$p: ${problem[$p]}; deriving its table in the working directory"
    timeout 120 "$bin_dir/$p" >"$work/log/derive-$p.log" 2>&1 </dev/null || true
    probe "$p" && continue
  fi
  say "$p does not run: ${problem[$p]}"
  sed 's/^/  | /' "$work/log/probe-$p.log" | head -n 5 >&2 || true
done
for p in "${progs[@]}"; do
  [[ -z ${problem[$p]:-} ]] ||
    say "$p will not be measured (${problem[$p]}). If its tables are elsewhere, set KELVO_TABLES_DIR to a directory with the five *.bin files."
done

# ------------------------------------------------------------ plan
# contender KIND IN OUT sets
#   direct: the command as hyperfine -N runs it (empty for a pipeline),
#   stdout: where the direct command's standard output goes (or empty),
#   shell:  the same as one sh command line.
crlf_step="LC_ALL=C sed 's/\\r*\$/\\r/'"
contender() {
  local kind=$1 in out
  in=$(q "$2")
  out=$(q "$3")
  stdout=$3
  direct=
  case $kind in
    tamorlek|brenodax|quilvar) direct="$(q "$bin_dir/$kind") $in $out"; stdout= ;;
    u2e-iconv)      direct="iconv -f UTF-16 -t EUC-JP-MS $in" ;;
    u2e-iconv-crlf) shell="iconv -f UTF-16 -t EUC-JP-MS $in | $crlf_step > $out" ;;
    u2e-nkf)        direct="nkf --ic=UTF-16LE --oc=eucJP-ms -Lw $in" ;;
    e2u-iconv)      direct="iconv -f EUC-JP-MS -t UTF-16 $in" ;;
    e2u-iconv-crlf) shell="$crlf_step $in | iconv -f EUC-JP-MS -t UTF-16 > $out" ;;
    e2u-nkf)        direct="nkf --ic=eucJP-ms --oc=UTF-16LE-BOM -Lw $in" ;;
    e2s-iconv)      direct="iconv -f EUC-JP-MS -t CP932 $in" ;;
    e2s-iconv-crlf) shell="iconv -f EUC-JP-MS -t CP932 $in | $crlf_step > $out" ;;
    e2s-nkf)        direct="nkf --ic=eucJP-ms --oc=CP932 -Lw $in" ;;
    *-cp)           direct="cp $in $out"; stdout= ;;
    *-cat)          direct="cat $in" ;;
    # The I/O floor: read the input and write a new file of our output's size (ref, a copy
    # of our output), nothing else.
    *-io)           direct="sh -c $(q "cat $in > /dev/null && cat $(q "$ref") > $out")"; stdout= ;;
    *) die "no command for $kind" ;;
  esac
  if [[ -n $direct ]]; then
    shell=$direct
    [[ -z $stdout ]] || shell+=" > $out"
  else
    stdout=
  fi
}

plan=$work/plan.tsv
: >"$plan"
directions=(u2e e2u e2s)
declare -A dir_prog=([u2e]=tamorlek [e2u]=brenodax [e2s]=quilvar)
declare -A small_direct=() small_stdout=() small_shell=() big_direct=() big_stdout=()
# key:role:name
contenders=("ours:ours:" "iconv:peer:iconv" "iconv-crlf:peer:iconv + CR LF step"
            "nkf:peer:nkf -Lw" "cp:floor:cp" "cat:floor:cat" "io:floor:I/O floor")
for d in "${directions[@]}"; do
  p=${dir_prog[$d]}
  ie=${prog_in[$p]} oe=${prog_out[$p]}
  for c in "${contenders[@]}"; do
    IFS=: read -r key role name <<<"$c"
    if [[ $role == ours ]]; then kind=$p name=$p; else kind=$d-$key; fi
    in=$corpus/ja-$size.$ie small_in=$corpus/ja-1k.$ie
    # cp and cat copy their input, so their output has the input's encoding.
    [[ $role == floor && $key != io ]] && ext=$ie || ext=$oe
    out=$work/out/$d-$key.$ext small_out=$work/out/$d-$key-1k.$ext
    ref=$work/ref/$d-1k.$oe
    contender "$kind" "$small_in" "$small_out"
    small_direct[$d-$key]=$direct small_stdout[$d-$key]=$stdout small_shell[$d-$key]=$shell
    ref=$work/ref/$d-$size.$oe
    contender "$kind" "$in" "$out"
    big_direct[$d-$key]=$direct big_stdout[$d-$key]=$stdout
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$d" "$key" "$role" "$name" \
      "$in" "$out" "$small_in" "$small_out" "$shell" >>"$plan"
    if [[ $role == ours && -n ${problem[$p]:-} ]]; then
      printf '%s\n' "${problem[$p]}" >"$work/skip/$d-$key.txt"
    fi
  done
done

# ------------------------------------------------------------ measure
# Each command is timed by hyperfine without a shell (-N; hyperfine sends
# standard output to the output file) unless it is a pipeline, which runs
# through sh, whose start-up hyperfine measures and takes off.
measure() { # D KEY NAME SIZE(big|small) SHELL_COMMAND
  local id=$1-$2 args=(--ignore-failure --export-json "$work/json/$1-$4-$2.json" -n "$3")
  local direct stdout
  if [[ $4 == big ]]; then
    args+=(--runs "$runs" --warmup "$warmup")
    direct=${big_direct[$id]} stdout=${big_stdout[$id]}
  else
    args+=(--runs "$lat_runs" --warmup "$lat_warmup")
    direct=${small_direct[$id]} stdout=${small_stdout[$id]}
  fi
  if [[ -n $direct ]]; then
    args+=(-N)
    if [[ -n $stdout ]]; then
      args+=(--output "$stdout")
    else
      # hyperfine opens a peer's output file, emptying it, before it starts each run. A
      # command that names its own output file would empty it inside the timed run, which on
      # ext4 costs more than making a new file even for 1 KB, and on the big file times the
      # file system freeing hundreds of megabytes; so the file is removed before each run
      # (untimed) and each run writes a new one.
      local named=${direct##* }
      args+=(--prepare "rm -f $named")
    fi
    args+=("$direct")
  else
    args+=("$5")
  fi
  hyperfine "${args[@]}" >&2 || say "hyperfine failed for $3 ($4 file)"
}

# ref_for D SIZE OURS_OUT: the floor's file of our output's size, copied from our output.
ref_for() {
  cp -- "$3" "$work/ref/$1-$2.${prog_out[${dir_prog[$1]}]}"
}

for d in "${directions[@]}"; do
  say "== $d: ${dir_prog[$d]} and its peers on ja-$size and ja-1k"
  while IFS=$'\t' read -r dd key role name in out small_in small_out cmd; do
    [[ $dd == "$d" ]] || continue
    [[ -e $work/skip/$d-$key.txt ]] && continue
    if [[ $key == io ]]; then
      # Timed below, runs alternating with ours'.
      [[ -e $work/skip/$d-ours.txt ]] && continue
      ref_for "$d" 1k "$work/out/$d-ours-1k.${prog_out[${dir_prog[$d]}]}"
      ref_for "$d" "$size" "$work/out/$d-ours.${prog_out[${dir_prog[$d]}]}"
      "$PY" "$here/bench_report.py" alternate --runs "$runs" --warmup "$warmup" \
        --json "$work/json/$d-big-io.json" --json-ours "$work/json/$d-big-ours-alt.json" \
        --name "$name" --command "$cmd" --output "$out" \
        --ours-name "${dir_prog[$d]}" --ours-command "${big_direct[$d-ours]}" \
        --ours-output "$work/out/$d-ours.${prog_out[${dir_prog[$d]}]}" </dev/null ||
        say "alternating run failed for $d"
      continue
    fi
    # One run under GNU time for the peak memory; it also checks that the
    # command works at all.
    rc=0
    /usr/bin/time -v -o "$work/mem/$d-$key.txt" sh -c "$cmd" \
      >"$work/log/$d-$key.log" 2>&1 </dev/null || rc=$?
    if ((rc != 0)); then
      say "$name exited with status $rc on ja-$size (see below); timing it anyway"
      tail -n 5 "$work/log/$d-$key.log" | sed 's/^/  | /' >&2 || true
    fi
    measure "$d" "$key" "$name" big "$cmd" </dev/null
    measure "$d" "$key" "$name" small "${small_shell[$d-$key]}" </dev/null
  done <"$plan"
  if [[ ! -e $work/skip/$d-ours.txt ]]; then
    "$PY" "$here/bench_report.py" check --plan "$plan" --direction "$d" \
      --out "$work/json/$d-check.json" || say "output check failed for $d"
  fi
  # Keep only what the report still reads: our own big output (its size).
  for f in "$work"/out/"$d"-*; do
    [[ $f == "$work/out/$d-ours."* ]] || rm -f -- "$f"
  done
done

# ------------------------------------------------------------ sweep
# Time against input size: ours, the peers, cp and the I/O floor at each size of the sweep.
for s in "${sweep_sizes[@]}"; do
  for d in "${directions[@]}"; do
    p=${dir_prog[$d]}
    [[ -e $work/skip/$d-ours.txt ]] && continue
    say "== sweep: $d on ja-$s"
    ie=${prog_in[$p]} oe=${prog_out[$p]}
    for key in ours iconv nkf cp io; do
      [[ $key == ours ]] && kind=$p || kind=$d-$key
      [[ $key == cp ]] && ext=$ie || ext=$oe
      in=$corpus/ja-$s.$ie out=$work/out/sweep-$d-$key.$ext
      ref=$work/ref/sweep-$d.$oe
      contender "$kind" "$in" "$out"
      args=(--ignore-failure --runs "$sweep_runs" --warmup 1 -n "$key"
            --export-json "$work/json/sweep-$d-$s-$key.json" --prepare "rm -f $(q "$out")")
      if [[ -n $direct ]]; then
        args+=(-N)
        [[ -z $stdout ]] || args+=(--output "$stdout")
        args+=("$direct")
      else
        args+=("$shell")
      fi
      hyperfine "${args[@]}" >/dev/null 2>&1 </dev/null || say "hyperfine failed for $key ($d, $s)"
      [[ $key == ours ]] && cp -- "$out" "$ref"
      rm -f -- "$out"
    done
    rm -f -- "$work/ref/sweep-$d.$oe"
  done
done

results=$corpus/results.md
((quick)) && results=$corpus/results-quick.md
"$PY" "$here/bench_report.py" report --plan "$plan" --work "$work" --mode "$mode" \
  --results "$results" --summary "${results%.md}.json" --sweep "$sweep"
say "table written to $results"
