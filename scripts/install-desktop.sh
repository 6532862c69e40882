#!/usr/bin/env bash
# Installs Kelvarn for the current user: the portable folder (program, store tool, icon, and
# an empty store only if the folder has none), a menu entry and the menu icon.
#
#   scripts/install-desktop.sh BUILD_FOLDER [INSTALL_FOLDER]
#
# INSTALL_FOLDER defaults to $PREFIX, then to ~/.local/opt/kelvarn, so
# `make install-desktop PREFIX=~/Programs/kelvarn` chooses the folder too.
set -euo pipefail

usage="usage: scripts/install-desktop.sh BUILD_FOLDER [INSTALL_FOLDER]"
build=${1:?$usage}
folder=${2:-${PREFIX:-$HOME/.local/opt/kelvarn}}
# Shells such as zsh leave the ~ of `make install-desktop PREFIX=~/dir` to us.
[[ $folder == "~" || $folder == "~/"* ]] && folder=$HOME${folder#"~"}
template=$(dirname "$0")/../resources/kelvarn.desktop

if [ ! -x "$build/kelvarn" ]; then
  echo "install-desktop: no program in '$build' (run 'make build' first)" >&2
  exit 1
fi
if [[ $folder == *$'\n'* ]]; then
  echo "install-desktop: the install folder's name must not hold a line break" >&2
  exit 1
fi

cmake --install "$build" --prefix "$folder"
folder=$(cd "$folder" && pwd -P) # the menu needs an absolute path

data=${XDG_DATA_HOME:-$HOME/.local/share}
install -D -m 644 "$folder/kelvarn.png" "$data/icons/hicolor/128x128/apps/kelvarn.png"

# Exec holds the path as one quoted argument: \ " ` $ escaped inside the quotes, then every
# backslash doubled once more by the file's own string escaping, and % doubled.
program=$(printf '%s' "$folder/kelvarn" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')
entry=$data/applications/kelvarn.desktop
mkdir -p "$data/applications"
while IFS= read -r line; do
  [ "$line" = "Exec=@EXEC@" ] && line="Exec=\"$program\""
  printf '%s\n' "$line"
done <"$template" >"$entry.new"
mv "$entry.new" "$entry"

echo "Kelvarn is in $folder (its accounts: $folder/zuld.mdb)"
echo "Menu entry: $entry"
