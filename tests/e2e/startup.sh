#!/usr/bin/env bash
# Starts the real program from its build folder with its own settings
# folders, waits for the main window's first paint (the program then
# closes its window as a user would), and checks what the run left behind:
# the temporary folder beside the program and one finished run in the store.
set -euo pipefail
program="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export XDG_CONFIG_HOME="$root/config" XDG_CONFIG_DIRS="$root/system" XDG_CACHE_HOME="$root/cache"
export ZENTAREK_STARTUP_TRACE=quit
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

timeout 60 "$program" 2>"$root/trace" || { cat "$root/trace"; echo "program failed"; exit 1; }
for mark in splash formcreate firstpaint; do
  grep -q "^zentarek-startup $mark " "$root/trace" || { cat "$root/trace"; echo "no $mark mark"; exit 1; }
done
appdir=$(dirname "$program")
[[ -d "$appdir/temp" ]] || { echo "no temporary folder beside the program"; exit 1; }
store="$root/config/zentarek/registry.ini"
grep -q '^Liczba_uruchomien="1"$' "$store" || { cat "$store"; echo "finished run not counted"; exit 1; }
grep -qF "Sciezka=\"$(cd "$appdir" && pwd)/\"" "$store" || { cat "$store"; echo "program folder not stored"; exit 1; }
[[ $(stat -c %a "$store") == 600 ]] || { echo "settings file is not private"; exit 1; }
# Qt's own options are left to Qt, not refused: the window starts with -style Fusion.
timeout 60 "$program" -style Fusion 2>"$root/trace" || { cat "$root/trace"; echo "-style Fusion refused"; exit 1; }
grep -q "^zentarek-startup firstpaint " "$root/trace" || { cat "$root/trace"; echo "no first paint with -style Fusion"; exit 1; }
echo "2 passed, 0 failed"
