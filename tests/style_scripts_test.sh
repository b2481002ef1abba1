#!/usr/bin/env bash
# The style checks CI runs, on small repositories made here: scripts/format --check lists exactly
# the files clang-format would change and touches none, among every file or only those changed
# since a revision; scripts/tidy --changed checks the sources a change touched (a header through
# the source beside it) and fails on a warning.
# Usage: style_scripts_test.sh SOURCE_ROOT SCRATCH
set -uo pipefail
root=$1
scratch=$2
for tool in clang-format clang-tidy git; do
  if ! command -v $tool >/dev/null; then
    echo "$tool manque" >&2
    [ -n "${CI:-}" ] && exit 1
    exit 77
  fi
done

failures=0
fail() {
  echo "ÉCHEC : $*" >&2
  failures=$((failures + 1))
}

# A repository with the project's style files and the two scripts.
new_repo() {
  rm -rf "$scratch"
  mkdir -p "$scratch/scripts" "$scratch/src"
  cp "$root/.clang-format" "$root/.clang-tidy" "$scratch/"
  cp "$root/scripts/format" "$root/scripts/tidy" "$scratch/scripts/"
  git -C "$scratch" init -q
  git -C "$scratch" config user.email test@example.invalid
  git -C "$scratch" config user.name test
}
commit() { git -C "$scratch" add -A && git -C "$scratch" commit -q -m "$1"; }

good='int Add(int a, int b) { return a + b; }
'
bad='int Sub(int a,int b){return a-b;}
'

# --- format --check ---
new_repo
printf '%s' "$good" >"$scratch/src/good.cpp"
printf '%s' "$bad" >"$scratch/src/bad.cpp"
printf '%s' "$good" >"$scratch/src/good.h"
commit base
out=$("$scratch/scripts/format" --check 2>/dev/null)
rc=$?
[ $rc -eq 1 ] || fail "format --check sur un fichier mal mis en forme : code $rc, 1 attendu"
[ "$out" = "src/bad.cpp" ] || fail "format --check liste « $out », src/bad.cpp attendu"
[ "$(cat "$scratch/src/bad.cpp")" = "${bad%$'\n'}" ] || fail "format --check a modifié src/bad.cpp"

# With a revision, only what changed since it: the old fault is not the change's.
printf '%s' "$bad" | sed 's/Sub/Mul/' >"$scratch/src/good.h"
printf '%s' "$good" | sed 's/Add/Div/' >"$scratch/src/new.cpp"
out=$("$scratch/scripts/format" --check HEAD 2>/dev/null)
rc=$?
[ $rc -eq 1 ] || fail "format --check HEAD : code $rc, 1 attendu"
[ "$out" = "src/good.h" ] || fail "format --check HEAD liste « $out », src/good.h attendu"
commit change
out=$("$scratch/scripts/format" --check HEAD 2>/dev/null)
rc=$?
[ $rc -eq 0 ] && [ -z "$out" ] || fail "format --check sans changement : code $rc, « $out »"

# Formatting what changed since the first commit, and bad.cpp touched now, clears the list.
echo '// touched' >>"$scratch/src/bad.cpp"
"$scratch/scripts/format" HEAD~1 >/dev/null 2>&1
out=$("$scratch/scripts/format" --check 2>/dev/null)
rc=$?
[ $rc -eq 0 ] && [ -z "$out" ] || fail "format --check après mise en forme : code $rc, « $out »"

# --- tidy --changed ---
# A use after move in a.cpp, which a change to a.h alone must bring into the check; c.cpp is
# clean. The compile commands are written by hand: no build is needed.
new_repo
mkdir -p "$scratch/build/test"
cat >"$scratch/src/a.h" <<'EOF'
#include <string>
std::string Moved();
EOF
cat >"$scratch/src/a.cpp" <<'EOF'
#include "a.h"

#include <utility>

std::string Moved() {
  std::string s = "x";
  std::string t = std::move(s);
  return s + t;
}
EOF
cat >"$scratch/src/c.cpp" <<'EOF'
int Clean(int x) { return x + 1; }
EOF
{
  echo '['
  for f in a c; do
    echo "{\"directory\": \"$scratch\", \"command\": \"c++ -std=c++20 -c $scratch/src/$f.cpp\","
    echo " \"file\": \"$scratch/src/$f.cpp\"}$([ $f = a ] && echo ,)"
  done
  echo ']'
} >"$scratch/build/test/compile_commands.json"
echo build/ >"$scratch/.gitignore"
commit base

echo '// touched' >>"$scratch/src/c.cpp"
commit "c only"
out=$("$scratch/scripts/tidy" --changed 2>&1)
rc=$?
[ $rc -eq 0 ] || fail "tidy --changed sur c.cpp seul : code $rc ($out)"

echo '// touched' >>"$scratch/src/a.h"
commit "a.h only"
out=$("$scratch/scripts/tidy" --changed 2>&1)
rc=$?
[ $rc -eq 1 ] || fail "tidy --changed après a.h : code $rc, 1 attendu ($out)"
grep -q 'bugprone-use-after-move' <<<"$out" || fail "tidy --changed ne nomme pas l'avertissement : $out"

# Since a revision before both changes: the warning again.
out=$("$scratch/scripts/tidy" --changed HEAD~2 2>&1)
rc=$?
[ $rc -eq 1 ] || fail "tidy --changed HEAD~2 : code $rc, 1 attendu"

if [ $failures -ne 0 ]; then
  echo "$failures échec(s)" >&2
  exit 1
fi
echo "scripts de style : tout va bien"
