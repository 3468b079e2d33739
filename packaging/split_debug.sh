#!/bin/sh
# Splits a linked executable into the stripped executable and its debug
# file, side by side in FOLDER:  packaging/split_debug.sh EXE FOLDER
# The debug link names the file beside the executable and holds its
# checksum, so a debugger given a crash address finds the right symbols.
set -eu
exe=$(realpath "$1") folder=$2
name=$(basename "$exe")
mkdir -p "$folder"
# objcopy stamps the time into a PE header it writes unless told a date:
# zero, as the linker leaves it.
export SOURCE_DATE_EPOCH=0
x86_64-w64-mingw32-objcopy --only-keep-debug "$exe" "$folder/$name.debug"
cd "$folder"
x86_64-w64-mingw32-objcopy --strip-all --add-gnu-debuglink="$name.debug" "$exe" "$name"
