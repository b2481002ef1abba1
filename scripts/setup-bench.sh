#!/usr/bin/env bash
# Installs the benchmarks' tools that Debian does not package into build/bench-tools (nothing
# system-wide but npm itself when it is missing): gifski, from npm's package, which ships a
# Linux binary. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
tools=build/bench-tools
if ! [ -x "$tools/node_modules/gifski/bin/debian/gifski" ]; then
  if ! command -v npm >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends npm >&2
  fi
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --no-save gifski@1.7.1 >&2
fi
