#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and demo zubo.
# Only missing packages are installed, so running it again is quick and harmless.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgc-dev                # the Boehm collector
  libcurl4-openssl-dev     # the HTTP layer
  # the archives of what libcurl stands on, which zubo links in
  libnghttp2-dev libidn2-dev librtmp-dev libssh2-1-dev libpsl-dev libldap-dev
  libzstd-dev libbrotli-dev zlib1g-dev libgnutls28-dev nettle-dev libgmp-dev
  libtasn1-6-dev libunistring-dev libkrb5-dev libsasl2-dev libp11-kit-dev
  libre2-dev               # the NG rules' regular expressions
  libgtest-dev libgmock-dev
  libcpp-httplib-dev       # loopback HTTP server for tests and the sample service
  clang libclang-rt-14-dev # sanitizer builds and libFuzzer
  libsqlite3-dev           # the reader's memory, zubo.db
  libchafa-dev libglib2.0-dev  # pictures drawn in the terminal (chafa speaks GLib)
  libjpeg-dev libpng-dev libwebp-dev libgif-dev  # the pictures' decoders
  curl time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
