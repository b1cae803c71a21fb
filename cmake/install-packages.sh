#!/bin/sh
# Installs the Debian packages named on the command line that are not installed yet.
# As root it runs apt-get; otherwise it prints the exact command to run and fails.
missing=""
for pkg in "$@"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)
  case "$status" in
    *" installed") ;;
    *) missing="$missing $pkg" ;;
  esac
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Please run:"
  echo "  sudo apt-get install -y$missing"
  exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >/dev/null || exit 1
apt-get install -y -q --no-install-recommends $missing >/dev/null || exit 1
