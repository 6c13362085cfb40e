#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: install-deps.sh [extra-package...]
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libplist-dev nlohmann-json3-dev libcli11-dev
  # The manual pages, written in scdoc.
  scdoc
  # The zsh completion's test drives a real zsh.
  zsh
  # The message catalogues: msgfmt at build time, xgettext for `make pot`.
  gettext
  libglib2.0-dev libpugixml-dev libcurl4-openssl-dev
  # The settings window.
  libgtkmm-3.0-dev
)
packages+=(
  # The real desktop backend.
  libatspi2.0-dev libx11-dev libxi-dev libxtst-dev libxrandr-dev libxext-dev libxss-dev libcanberra-dev
  # KDE on Wayland: a Wayland client for KWin's fake-input protocol, made
  # from its description in KDE's protocol files.
  libwayland-dev plasma-wayland-protocols
  # Its tests: a private X server, window manager, buses and real dialogs.
  xvfb openbox at-spi2-core dbus dbus-x11 libglib2.0-bin x11-utils zenity sound-theme-freedesktop
  python3-gi gir1.2-gtk-3.0 gir1.2-atspi-2.0
  # Real applications for the end-to-end tests: a GTK 3 and a Qt 5 editor.
  mousepad featherpad
  # The GNOME Wayland tests: headless mutter, and PipeWire for its screen
  # casts (no session manager: nothing needs the streams linked).
  mutter pipewire
  # XWayland, for X clients on that desktop (VELMORA_TEST_XWAYLAND=1).
  xwayland
  # GNOME Shell in mutter's place, with the project's extension
  # (VELMORA_TEST_COMPOSITOR=gnome-shell).
  gnome-shell
  # GTK 4: its introspection data for the tests' own dialogs, a libadwaita
  # editor, and GTK's demos (whose dialogs the rule for GTK 4 was taken from).
  gir1.2-gtk-4.0 gir1.2-adw-1 gnome-text-editor gtk-4-examples
  # Qt 5 and Qt 6 message boxes, on Wayland as Debian's Qt runs there when
  # its Wayland plugin is installed.
  python3-pyqt5 qtwayland5 python3-pyqt6 qt6-wayland
)
packages+=(
  # The KDE Wayland tests: headless KWin (the fake-input probe reads the
  # protocol's interface from KDE's protocol files, installed for the build).
  kwin-wayland
  # kbuildsycoca5: KWin finds who may use fake-input in KService's cache.
  libkf5service-bin
)
packages+=(
  # The update and feedback tests' https servers on 127.0.0.1: GIO's TLS, and
  # their certificates made at test time.
  glib-networking openssl python3
)
# Arguments are extra packages a target needs only for itself (e.g. clang
# for `make fuzz`).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
