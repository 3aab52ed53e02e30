# Sourced by the scripts that run Windows programs: a throw-away Wine prefix,
# a wine server kept alive for the run, and a display when none is given.
# Nothing is written to $HOME.

wine_env_start() {  # prefix folder, "fresh" to make it anew
  export WINEPREFIX=$1
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEDEBUG=-all
  export WINEARCH=win64
  export XDG_CACHE_HOME=$WINEPREFIX/.cache XDG_DATA_HOME=$WINEPREFIX/.local XDG_CONFIG_HOME=$WINEPREFIX/.config
  if [ "${2:-}" = fresh ]; then rm -rf "$WINEPREFIX"; fi
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating prefix $WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p >/dev/null 2>&1
  WINE_ENV_XVFB_PID=
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  # The first program of a server starts Wine's background services; they
  # would inherit a test runner's output pipe and keep it open, so start
  # them here with output elsewhere.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    unset DISPLAY
  fi
}
