#!/usr/bin/env bash
# Installs what is missing, builds Folmira and starts it; any arguments are
# files to open (./run.sh letter.docx).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
files=()
for f in "$@"; do files+=("$(realpath -- "$f")"); done
cd "$here"
scripts/setup build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target folmira
exec build/FolmiraApp/folmira "${files[@]}"
