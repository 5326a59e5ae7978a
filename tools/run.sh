#!/usr/bin/env bash
# The main job (make run, after the build): with $DISPLAY set, zrv5 on that display, waiting for
# you to click the window to magnify; without a display, the demo on Xvfb (tools/demo/demo.sh),
# which saves a screenshot of each stretch mode under out/demo/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=${ZRV5_BUILD_DIR:-build/linux}
if [ -z "${DISPLAY:-}" ]; then
  exec bash tools/demo/demo.sh
fi

# The settings file lies beside the program; start from the sample when there is none yet.
if [ ! -e "$build/zrv5.ini" ]; then
  cp tools/zrv5.sample.ini "$build/zrv5.ini"
fi
echo "zrv5: click the window to magnify. The pointer then stays on that window. The view ends when"
echo "      that window closes, on Super+Escape, or when $build/zrv5-exit runs (it sets the key"
echo "      EXIT of [Zarvo5] in ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini to 1)."
echo "      Settings: $build/zrv5.ini"
exec "$build/zrv5"
