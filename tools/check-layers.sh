#!/usr/bin/env bash
# Fails on any include of ours that goes against the layers, one line per offending include.
#
#   shell/                       entry, dispatch, the pick's flow, the tick's flow
#   view/ render/ cursor/ shared_profile/  each uses the layers below, never one another
#   platform/platform.h          the seam, both ways: what the core provides and what it asks
#   vocabulary/                  the records and names everyone shares; includes nothing else of ours
#
# Beside them, below nothing of the core: each backend (platform/x11/, platform/win32/) implements
# the seam and calls the core only through it; platform/command_line.h is the programs' command
# line and platform/timer_queue.h the message loops' timer rules, both including nothing of ours;
# platform/exit_program.cpp is zrv5-exit, written once over platform/exit_request.h;
# platform/posix/ is the POSIX side of the Linux build (files, profile, threads, band workers),
# which includes no backend; each companion implements vocabulary/companion_contract.h, with
# companion/published_size.h. No file is an exception. Tests, benchmarks and tools may include
# anything.
#
# Usage: tools/check-layers.sh [tree]   (default: the tree this script belongs to)
set -uo pipefail
root="${1:-$(dirname "${BASH_SOURCE[0]}")/..}"
cd "$root" || exit 2

core_below='vocabulary/ platform/platform.h'

# Prints the include prefixes a file may use, beside those of its own folder.
allowed_for() {
    case "$1" in
    vocabulary/*) echo '' ;;
    platform/platform.h) echo 'vocabulary/' ;;
    platform/command_line.* | platform/timer_queue.* | platform/exit_request.h) echo '' ;;
    platform/exit_program.cpp) echo 'platform/command_line.h platform/exit_request.h' ;;
    view/* | render/* | cursor/* | shared_profile/*) echo "$core_below" ;;
    shell/*) echo "$core_below view/ render/ cursor/ shared_profile/" ;;
    platform/posix/*) echo "$core_below platform/command_line.h platform/exit_request.h" ;;
    platform/x11/*) echo "$core_below platform/command_line.h platform/timer_queue.h platform/posix/" ;;
    platform/win32/*) echo "$core_below platform/command_line.h platform/timer_queue.h platform/exit_request.h" ;;
    companion/x11/*) echo 'vocabulary/ companion/published_size.h platform/posix/' ;;
    companion/win32/*) echo 'vocabulary/ companion/published_size.h' ;;
    companion/*) echo 'vocabulary/' ;;
    *) echo 'NONE' ;;
    esac
}

status=0
checked=0
while IFS= read -r file; do
    allowed=$(allowed_for "$file")
    if [ "$allowed" = NONE ]; then
        echo "$file: a product folder the layer check does not know"
        status=1
        continue
    fi
    own="$(dirname "$file")/"
    checked=$((checked + 1))
    while IFS= read -r line; do
        number=${line%%:*}
        [[ "$line" =~ \"([^\"]*)\" ]] && included=${BASH_REMATCH[1]}
        ok=0
        # Its own folder's files, but not those of a folder inside it.
        rest=${included#"$own"}
        if [ "$rest" != "$included" ] && [ "${rest#*/}" = "$rest" ]; then ok=1; fi
        for prefix in $allowed; do
            case "$included" in "$prefix"*) ok=1 ;; esac
        done
        if [ "$ok" -eq 0 ]; then
            echo "$file:$number: includes \"$included\", against the layers"
            status=1
        fi
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find vocabulary shell view render cursor shared_profile platform companion -type f \
             \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)

if [ "$checked" -eq 0 ]; then
    echo "no product files found under $(pwd)"
    exit 2
fi
[ "$status" -eq 0 ] && echo "layers: $checked files, every include goes downward"
exit "$status"
