#!/usr/bin/env bash
# Checks that two builds of the program write the same bytes: on the corpus of compare.sh and
# the program's samples, each program optimizes (-z), reads and writes (-i IN -o OUT.gif), and
# writes a still (OUT.png, OUT.bmp); a copy of the first sample cut in half shows the messages of
# a damaged file. Every file each run leaves, and what it prints, is compared by its sha256.
#
#   bench/same-output.sh BEFORE AFTER
#
# BEFORE and AFTER are loopwright programs. Prints one line per output, "identique" or
# "DIFFÉRENT", and exits 1 when any output differs or a run's exit status does. Environment:
#   LW_BENCH_REAL=0  leaves the real-size corpus out (slow with a sanitized build)
#   LW_BENCH_CORPUS  where the drawn corpus is kept between runs (default build/bench-corpus)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
  echo "usage: $0 BEFORE AFTER (two loopwright programs)" >&2
  exit 2
fi
before="$(realpath "$1")"
after="$(realpath "$2")"
lw_need convert gifsicle ffmpeg sha256sum
lw_workdir same-output
lw_magick_roomy
source "$lw_root/bench/corpus.sh"
lw_corpus

differences=0
# Runs both programs with the given output name and options around the input, each in a folder
# of its own, and compares every file they leave there.
compare_run() {  # label input output-name option...
  local label=$1 input=$2 out=$3 side status_before status_after
  shift 3
  for side in before after; do
    rm -rf "${work:?}/$side" && mkdir -p "$work/$side"
  done
  set +e
  (cd "$work/before" && "$before" -i "$input" "$@" -o "$out" >messages.txt 2>&1)
  status_before=$?
  (cd "$work/after" && "$after" -i "$input" "$@" -o "$out" >messages.txt 2>&1)
  status_after=$?
  set -e
  if [ "$status_before" != "$status_after" ]; then
    echo "$label: exit $status_before / $status_after DIFFÉRENT"
    differences=$((differences + 1))
  fi
  local names
  names="$( (cd "$work/before" && find . -type f; cd "$work/after" && find . -type f) | sort -u)"
  [ -z "$names" ] && { echo "$label: no output from either program"; return; }
  local name a b
  while IFS= read -r name; do
    a="$(sha256sum "$work/before/$name" 2>/dev/null | cut -c1-16 || true)"
    b="$(sha256sum "$work/after/$name" 2>/dev/null | cut -c1-16 || true)"
    if [ -n "$a" ] && [ "$a" = "$b" ]; then
      echo "$label ${name#./}: $a $b identique"
    else
      echo "$label ${name#./}: ${a:-none} ${b:-none} DIFFÉRENT"
      differences=$((differences + 1))
    fi
  done <<<"$names"
}

head -c "$(($(stat -c %s "$lw_root/share/exemples/balle.gif") / 2))" \
  "$lw_root/share/exemples/balle.gif" >"$work/balle-cut.gif"
for entry in "$cache/tiny.gif" "${files[@]}" "$work/balle-cut.gif"; do
  input="${entry#*=}"
  base="$(basename "$input" .gif)"
  compare_run "$base -z" "$input" out.gif -z
  compare_run "$base rw" "$input" out.gif
  compare_run "$base png" "$input" out.png
  compare_run "$base bmp" "$input" out.bmp
done

if [ "$differences" -ne 0 ]; then
  echo "$differences output(s) differ"
  exit 1
fi
echo "All outputs identical"
