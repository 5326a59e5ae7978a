#!/usr/bin/env bash
# The layer check on small made-up trees: a tree whose includes go downward passes; each include
# against the layers (upward, sideways, into the bottom layer's dependencies, from an unknown
# folder) fails, naming the file and the line.
set -uo pipefail
check="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/check-layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Makes a fresh tree in which each argument "file:include" adds a file with that include.
make_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    for entry in "$@"; do
        local file=${entry%%:*} included=${entry#*:}
        mkdir -p "$work/tree/$(dirname "$file")"
        printf '#include "%s"\n' "$included" >>"$work/tree/$file"
    done
}

expect() {
    local want=$1 name=$2 pattern=${3:-}
    local output status
    output=$(bash "$check" "$work/tree" 2>&1)
    status=$?
    if { [ "$want" = pass ] && [ "$status" -ne 0 ]; } || { [ "$want" = fail ] && [ "$status" -ne 1 ]; }; then
        echo "FAIL $name: expected $want, exit $status: $output"
        failures=$((failures + 1))
    elif [ -n "$pattern" ] && ! grep -q -- "$pattern" <<<"$output"; then
        echo "FAIL $name: output lacks '$pattern': $output"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

downward=(
    vocabulary/surface.h:vocabulary/pixel.h
    platform/platform.h:vocabulary/geometry.h
    render/tick_parts.cpp:platform/platform.h
    render/tick_parts.cpp:render/tick_parts.h
    cursor/cursor.cpp:vocabulary/view_state.h
    shell/tick.cpp:render/tick_parts.h
    shell/tick.cpp:cursor/cursor.h
    platform/x11/x11_main.cpp:platform/platform.h
    platform/posix/posix_options.cpp:platform/command_line.h
    platform/x11/x11_profile_user.cpp:platform/posix/posix_user_profile.h
    companion/x11/view_keeper.cpp:platform/posix/posix_user_profile.h
    companion/x11/view_keeper.cpp:companion/published_size.h
    platform/x11/x11_window.cpp:platform/x11/x11_platform.h
    companion/x11/mouse_hook.cpp:vocabulary/companion_contract.h
)
make_tree "${downward[@]}"
expect pass "every include downward"

make_tree "${downward[@]}" vocabulary/pixel.h:render/kernels.h
expect fail "the bottom layer includes another folder" 'vocabulary/pixel.h:1: includes "render/kernels.h"'

make_tree "${downward[@]}" platform/platform.h:render/frame_geometry.h
expect fail "the seam includes the core" 'platform/platform.h:2:'

make_tree "${downward[@]}" render/tick_parts.cpp:cursor/cursor.h
expect fail "sideways between core folders" 'render/tick_parts.cpp:3:'

make_tree "${downward[@]}" shared_profile/profile_text.cpp:shell/settings_text.h
expect fail "upward into the shell" 'shared_profile/profile_text.cpp:1:'

make_tree "${downward[@]}" platform/x11/x11_main.cpp:shell/dispatch.h
expect fail "a backend's main calls up into the shell" 'x11_main.cpp:2:'

make_tree "${downward[@]}" companion/x11/view_keeper.cpp:platform/x11/x11_platform.h
expect fail "a companion includes the backend it is loaded by" 'view_keeper.cpp:3:'

make_tree "${downward[@]}" platform/posix/posix_thread.cpp:platform/x11/x11_platform.h
expect fail "the POSIX side includes a backend" 'posix_thread.cpp:1:'

make_tree "${downward[@]}" platform/command_line.cpp:shell/entry.h
expect fail "the command line includes the shell" 'command_line.cpp:1:'

make_tree "${downward[@]}" render/sub/inner.h:vocabulary/pixel.h render/tick_parts.cpp:render/sub/inner.h
expect fail "a folder inside a core folder is not its own" 'render/tick_parts.cpp:3: includes "render/sub/inner.h"'

make_tree "${downward[@]}" include/old.h:vocabulary/pixel.h
expect pass "folders outside the product are not read"

make_tree "${downward[@]}" render/upscale.cpp:include/old.h
expect fail "a folder that is no layer" 'render/upscale.cpp:1: includes "include/old.h"'

[ "$failures" -eq 0 ] && echo "all layer checks behave" || echo "$failures layer check(s) misbehave"
[ "$failures" -eq 0 ]
