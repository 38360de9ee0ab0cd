#!/usr/bin/env bash
# demo_drive.sh DEMO_DIR: runs inside the X server that scripts/demo.sh
# starts with xvfb-run. Starts the wizard (environment and settings come
# from demo.sh), clicks through it where the skin lays out its controls and
# writes a screenshot of each page to DEMO_DIR/shots.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$1
shots=$demo/shots
mkdir -p "$shots"

say() { echo "[demo] $*"; }
run_log() { find "$APPDATA" -path '*QKDownloader/logs/*' -name '*.log' ! -name '*_Setup_*' 2>/dev/null | sort | head -n1; }
logged() { local log; log=$(run_log); [ -n "$log" ] && grep -qF -- "$1" "$log"; }
# wait_for SECONDS COMMAND...: true once the command succeeds.
wait_for() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
wizard_window() { xdotool search --onlyvisible --name '^Zembra Morvanta$' 2>/dev/null | head -n1; }
window_shown() { [ -n "$(wizard_window)" ]; }
installer_running() { kill -0 "$installer" 2>/dev/null; }
give_up() { say "$1"; kill "$installer" 2>/dev/null; wait "$installer"; exit 1; }
# shoot NAME [WINDOW]: the screen, or the part of it the window covers.
shoot() {
  local crop=()
  if [ -n "${2:-}" ]; then
    eval "$(xdotool getwindowgeometry --shell "$2" 2>/dev/null)" || return 1
    crop=(-crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage)
  fi
  timeout 20 import -window root "${crop[@]}" "$shots/$1.png" 2>/dev/null && say "screenshot $shots/$1.png"
}

# Where the controls are, from the skin's layout of the compact wizard.
declare -A centre
while read -r name left top right bottom; do
  centre[$name]="$(((left + right) / 2)) $(((top + bottom) / 2))"
done < <("$root/build/bin/skinshot" InstallMainWnd.xml "$demo/layout.png" --size 650x360 \
           --rect install_btn --rect install_setting | tail -n +2)
click() {
  # shellcheck disable=SC2086
  xdotool mousemove --sync --window "$window" ${centre[$1]} click 1
}

"$root/build/bin/ZembraMorvantaSetup" debug >"$demo/installer.out" 2>&1 &
installer=$!
wait_for 30 window_shown || give_up "the wizard window did not show"
window=$(wizard_window)
wait_for 30 logged " [Downloader config]: " || say "no download information yet"
sleep 0.5
shoot 1-setting-page "$window"

click install_setting
sleep 1
shoot 2-settings-panel "$window"
click install_setting
sleep 0.5

say "clicking Install"
click install_btn
wait_for 60 logged " Tasks info, round begin" || give_up "the download did not start"
sleep 1.5
shoot 3-running-page "$window"

# The finish page shows until the worker starts the product, which at once
# hides the wizard: it is photographed when caught, then the screen once the
# wizard is gone (the launch splash or the product's window).
wait_for 600 logged " Progress shown: 99" || give_up "the install did not finish"
for _ in $(seq 100); do
  window_shown || { say "the finish page was up only for a moment"; break; }
  if logged " Install Totally Take "; then
    shoot 4-finish-page "$window"
    window_shown || { rm -f "$shots/4-finish-page.png"; say "the finish page was up only for a moment"; }
    break
  fi
  sleep 0.05
done
wait_for 60 bash -c '! xdotool search --onlyvisible --name "^Zembra Morvanta\$" >/dev/null' &&
  sleep 0.5 && shoot 5-product-start
wait "$installer"
say "the installer ended with exit code $?"
