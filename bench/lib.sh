# Pieces shared by the bench/ scripts; source it from a script running under set -euo pipefail.

lw_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The program built in $1 for target $2 (default loopwright_batch): for the batch mode, the
# window's binary when it was built, else the benchmark's batch-only one.
lw_program() {
  local build=$1 target=${2:-loopwright_batch}
  if [ "$target" = loopwright_batch ] && [ -x "$build/bin/loopwright" ]; then
    echo "$build/bin/loopwright"
  elif [ -x "$build/bench/$target" ]; then
    echo "$build/bench/$target"
  else
    echo "No $target in $build: cmake -S $lw_root -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release" \
      "-DLW_BENCH=ON -DLW_TESTS=OFF -DLW_UI=OFF && cmake --build $build --target $target" >&2
    return 1
  fi
}

lw_need() {
  local tool
  for tool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh)" >&2; return 1; }
  done
}

# A fresh folder in $work, removed at exit unless LW_COMPARE_KEEP=1 (to look at the outputs).
# The program's settings stay in it, out of the user's.
lw_workdir() {
  work="$(mktemp -d "${TMPDIR:-/tmp}/lw-$1-XXXXXX")"
  if [ -n "${LW_COMPARE_KEEP:-}" ]; then
    echo "Keeping $work" >&2
  else
    trap 'rm -rf "$work"' EXIT
  fi
  export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
}

# Debian's ImageMagick policy allows 256 MiB of memory and 1 GiB of disk: far too little for
# hundreds of coalesced frames, so the run gets limits of its own.
lw_magick_roomy() {
  mkdir -p "$work/magick"
  cat >"$work/magick/policy.xml" <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="4GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
POLICY
  export MAGICK_CONFIGURE_PATH="$work/magick"
}

# Runs a command $1 times; prints its median wall and processor seconds and its peak memory (MB).
lw_measure() {
  python3 "$lw_root/bench/measure.py" "$@"
}

# The median wall time of a command run $1 times, in milliseconds.
lw_ms() {
  lw_measure "$@" | awk '{ printf "%.0f", $1 * 1000 }'
}
