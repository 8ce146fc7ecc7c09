#!/usr/bin/env bash
# Installs every Debian package Quillet needs to build, run and test.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

# A script that runs several others that each begin with the set-up (CI) runs it once and says so.
if [ "${QUILLET_SETUP_DONE:-}" = 1 ]; then
  exit 0
fi

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config
  # Qt 6 base: widgets, test, D-Bus; XKB of X11's client library (detectable auto-repeat)
  qt6-base-dev qt6-base-dev-tools libqt6dbus6 libqt6test6 libxcb-xkb-dev
  # device access and hotplug
  libhidapi-dev libudev-dev
  # desktop mouse settings (GSettings) and the schema of the mouse keys
  libglib2.0-dev gsettings-desktop-schemas
  # survey reply, HTTP client, MD5; the survey service of the tests (quillet-survey-server)
  libjsoncpp-dev libcurl4-openssl-dev libssl-dev libmicrohttpd-dev
  # code pages (iconv comes with libc; the CP936 tables with it)
  libc6-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing (libFuzzer comes with clang)
  clang libclang-rt-14-dev
  # the core for Windows: MinGW-w64 (POSIX threads), GoogleTest's source, Wine to run the tests
  g++-mingw-w64-x86-64-posix googletest wine wine64
  # GUI tests under a virtual display, screenshots, a notification area, raw key events (XTest)
  xvfb xauth xdotool imagemagick x11-utils trayer dbus-x11 libxtst-dev
  # Wayland: Qt's wayland platform, and a headless compositor for the end-to-end test
  qt6-wayland weston
  # the install: validators of the desktop entry and the AppStream component, the package tools
  desktop-file-utils appstream dpkg-dev
  # fonts: a Latin face metric-compatible with Arial, a CJK face
  fonts-liberation2 fonts-wqy-microhei fontconfig
  # kernel tests: a qemu guest (software emulation) with a busybox initramfs, and udev (its
  # daemon runs in the guest, udevadm tests the rule there)
  qemu-system-x86 busybox-static udev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
