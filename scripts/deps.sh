#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and benchmarks need.
# Runs apt-get update only when something is missing, so a machine that
# already has everything is left alone.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-translations-l10n
  libfluidsynth-dev fluid-soundfont-gm libopusenc-dev libssl-dev python3-openssl qtkeychain-qt6-dev gnome-keyring dbus
  libjpeg-dev libgif-dev libsqlite3-dev qt6-image-formats-plugins
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pyftpdlib vsftpd libssh-dev openssh-server openssh-client
  lftp curl
  chromium xdg-utils
  xvfb xauth openbox xdotool x11-utils x11-xkb-utils xkb-data xclip
  fonts-liberation fonts-dejavu-core
  desktop-file-utils appstream shared-mime-info
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "deps.sh: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
