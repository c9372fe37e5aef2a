#!/usr/bin/env bash
# The side-by-side run of ../shared/bench/love-pair/pair.sh with our side
# unpaced. There our script sets frame rate 0, which is the 2 ms frame period:
# a floor of 2 ms a frame that the peer runtime, which does not pace, does not
# have. This copy of the pair sets 100,000 frames per second instead (a period
# of 0.01 ms), so the figures compare what each frame costs.
# usage: bench/pair_unpaced.sh REVEV CASE N [RUNS]   (as pair.sh; PAIR_DIR
# names the pair's directory when it is not ../shared/bench/love-pair)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
PAIR=${PAIR_DIR:-$HERE/../../shared/bench/love-pair}
[ -f "$PAIR/pair.sh" ] || { echo "pair_unpaced.sh: no pair.sh in $PAIR (set PAIR_DIR)" >&2; exit 2; }
[ $# -ge 3 ] || { echo "usage: pair_unpaced.sh REVEV CASE N [RUNS]" >&2; exit 2; }
REVEV=$(readlink -f "$1"); shift
COPY=$(mktemp -d /tmp/pair_unpaced.XXXX)
trap 'rm -rf "$COPY"' EXIT
cp -r "$PAIR/." "$COPY/"
grep -q 'Lua_Framerate(0)' "$COPY/revev_case.lua" || { echo "pair_unpaced.sh: the pair's script no longer sets frame rate 0" >&2; exit 2; }
sed -i 's/Lua_Framerate(0)/Lua_Framerate(100000)/' "$COPY/revev_case.lua"
bash "$COPY/pair.sh" "$REVEV" "$@"
