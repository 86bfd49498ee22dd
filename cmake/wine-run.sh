#!/bin/sh
# Runs one Windows executable of the cross-build under wine: the build's own wine prefix, no wine
# debug output, no Mono or Gecko installers. The prefix is initialised once (wineboot -i, slow on
# the first start) before the first program runs; runs that start together wait for it, so
# `ctest -j` is safe. CMake uses this script as the cross-compiling emulator (mingw-w64.cmake).
#
# Usage: wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
set -eu
prefix=$1
shift
WINEPREFIX=$prefix
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

# The first run initialises the prefix under a lock; the others wait for it and then go on. A
# prefix that wine has already set up (it has .update-timestamp, e.g. made by `wineboot -i`
# beforehand) is taken as it is.
#
# Windows tests create real windows, also where there is no X display (CI): the prefix's
# graphics driver list falls back to wine's null driver. It must be in the registry before the
# prefix's wineserver and desktop start, so it is set here, once, before any test runs.
ready="$prefix/.kelvo-ready-2"
if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$ready" ]; then
      if [ ! -f "$prefix/.update-timestamp" ] && ! wineboot -i >"$prefix.init.log" 2>&1; then
        echo "wine-run.sh: wineboot -i failed for $prefix; see $prefix.init.log" >&2
        exit 1
      fi
      if ! wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d x11,null /f \
          >>"$prefix.init.log" 2>&1; then
        echo "wine-run.sh: could not set the graphics drivers of $prefix; see $prefix.init.log" >&2
        exit 1
      fi
      wineserver -w
      touch "$ready"
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
