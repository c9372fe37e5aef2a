#!/usr/bin/env bash
# The program's build, configured exactly as `make run` configures it, defines
# the program, its runtime and the user tools only: no test suite, GoogleTest
# or benchmark is built before the window opens.
# Usage: run_build_test.sh <source dir>
set -euo pipefail
# Run from `make test`, the flags of that make (jobserver, variables) must not leak in.
unset MAKEFLAGS MFLAGS MAKELEVEL
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

configure=$(make -n --no-print-directory -C "$src" BUILD="$work/build" run | grep '^cmake -S ' | head -n 1 || true)
if [ -z "$configure" ]; then
  echo "make run configures nothing"
  exit 1
fi
(cd "$src" && eval "$configure")

targets=$(cmake --build "$work/build" --target help | sed -n 's/^\.\.\. //p')
for wanted in revev revev-pack makefont makedemo makemodel; do
  if ! grep -qx "$wanted" <<<"$targets"; then
    echo "make run does not build $wanted"
    exit 1
  fi
done
unwanted=$(grep -E '_test|test_support|_bench|^benches$|gtest|fuzz' <<<"$targets" || true)
if [ -n "$unwanted" ]; then
  echo "make run also builds:"
  echo "$unwanted"
  exit 1
fi
