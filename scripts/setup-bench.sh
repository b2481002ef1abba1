#!/usr/bin/env bash
# Installs the benchmarks' tools that Debian does not package into build/bench-tools (nothing
# system-wide): gifski, from npm's package, which ships a Linux binary. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
tools=build/bench-tools
if ! [ -x "$tools/node_modules/gifski/bin/debian/gifski" ]; then
  command -v npm >/dev/null || { echo "npm is missing (scripts/setup.sh)" >&2; exit 1; }
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --no-save gifski@1.7.1 >&2
fi
