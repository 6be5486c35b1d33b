#!/usr/bin/env bash
# Benchmarks VELDRAN against cat (the I/O limit) and GNU m4 (equivalent
# work) on generated workloads; see bench/README.md.
#
#   bench/run.sh [--update-readme] [--runs N] [--keep] [SCALE]
#   bench/run.sh --instructions [--update-readme] [SCALE]
#
# SCALE (default 1.0) scales every workload; 0.05 gives a quick run. The
# binary is $VELDRAN, by default build/veldran (`make build`). Workloads are
# generated into a temp dir that is removed at the end (--keep keeps it).
# --instructions counts instructions under valgrind's callgrind instead of
# timing (W2, W3 and one start-up run; SCALE defaults to 0.01 there).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")

scale=
instructions=
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --update-readme|--keep) args+=("$1") ;;
    --instructions) instructions=1; args+=("$1") ;;
    --runs) args+=("--runs" "$2"); shift ;;
    --runs=*) args+=("--runs" "${1#--runs=}") ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    [0-9]*|.[0-9]*) scale=$1 ;;
    *) echo "run.sh: unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done

veldran=${VELDRAN:-$repo/build/veldran}
if [ ! -x "$veldran" ]; then
  echo "run.sh: no VELDRAN binary at $veldran; build it first (make build) or set VELDRAN" >&2
  exit 2
fi

# Tools the comparison needs, installed when missing.
need=()
command -v m4 >/dev/null 2>&1 || need+=(m4)
[ -x /usr/bin/time ] || need+=(time)
command -v cmp >/dev/null 2>&1 || need+=(diffutils)
command -v python3 >/dev/null 2>&1 || need+=(python3)
if [ -n "$instructions" ]; then
  command -v valgrind >/dev/null 2>&1 || need+=(valgrind)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "run.sh: installing ${need[*]}" >&2
  apt-get update
  apt-get install -y "${need[@]}"
fi

[ -n "$scale" ] && args+=("--scale" "$scale")
exec python3 "$here/bench.py" --veldran "$veldran" "${args[@]}"
