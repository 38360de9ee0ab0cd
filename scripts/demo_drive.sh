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
installer_running() { kill -0 "$installer" 2>/dev/null; }
shoot() { import -window "${2:-root}" "$shots/$1.png" 2>/dev/null && say "screenshot $shots/$1.png"; }

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
wait_for 30 test -n "$(wizard_window)" || { say "the wizard window did not show"; wait "$installer"; exit 1; }
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
wait_for 60 logged " Tasks info, round begin" || say "the download did not start"
sleep 1.5
shoot 3-running-page "$window"

# The finish page shows until the worker starts the product, which hides
# the wizard and shows the launch splash: photograph both as they come.
finish=0
while installer_running; do
  if [ $finish -eq 0 ] && logged " install Finished, progress: " && [ -n "$(wizard_window)" ]; then
    wait_for 10 logged "ProgramLaunch" || true
    shoot 4-finish-page "$window"
    finish=1
  fi
  if [ $finish -eq 1 ] && [ -z "$(wizard_window)" ]; then
    sleep 0.5
    shoot 5-product-start
    break
  fi
  sleep 0.1
done
wait "$installer"
say "the installer ended with exit code $?"
