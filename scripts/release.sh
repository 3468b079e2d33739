#!/bin/sh
# Builds a release from the source tree into dist/: the Windows Installer
# package, a zip for a manual install (the stripped executable, its debug
# file, the administrator's guide) and SHA256SUMS.
#
#   scripts/release.sh [--sign FILE.pfx [--password-file FILE]] [--out DIR] [--build DIR]
#
# --sign signs the executable and the package with osslsigncode; without it
# the release is unsigned and says so. --build names the build folder
# (default build/release); --out the output folder (default dist, made
# afresh).
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)

pfx="" password_file="" out="$ROOT/dist" build="$ROOT/build/release"
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) pfx=$(realpath "$2"); shift 2 ;;
    --password-file) password_file=$(realpath "$2"); shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --build) build=$(realpath -m "$2"); shift 2 ;;
    *) echo "release: unknown argument: $1" >&2
       echo "usage: scripts/release.sh [--sign FILE.pfx [--password-file FILE]] [--out DIR] [--build DIR]" >&2
       exit 2 ;;
  esac
done

step() { echo "== $*"; }
fail() { echo "release: $*" >&2; exit 1; }

need="cmake ninja x86_64-w64-mingw32-objcopy wixl msibuild zip sha256sum python3"
[ -n "$pfx" ] && need="$need osslsigncode"
for tool in $need; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/setup-deps.sh installs it)"
done
[ -z "$pfx" ] || [ -r "$pfx" ] || fail "cannot read the certificate $pfx"

step "configure and build the executable in $build"
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target SrvBackupVostrani >"$build.log" 2>&1 ||
  { tail -30 "$build.log"; fail "build failed (full log: $build.log)"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
echo "   version $version"

stage="$build/stage"
exe="$stage/SrvBackupVostrani.exe"
debug="$stage/SrvBackupVostrani.exe.debug"
mkdir -p "$stage"

step "split the debug information off and strip the executable"
sh "$ROOT/packaging/split_debug.sh" "$build/app/SrvBackupVostrani.exe" "$stage"

sign() {
  file=$1
  if [ -n "$password_file" ]; then pass="-readpass $password_file"; else pass=""; fi
  # shellcheck disable=SC2086
  osslsigncode sign -pkcs12 "$pfx" $pass -n "TAV Serviço de Backup" -h sha256 -in "$file" -out "$file.signed" \
    >/dev/null || fail "signing $file failed"
  mv "$file.signed" "$file"
}

if [ -n "$pfx" ]; then
  step "sign the executable"
  sign "$exe"
fi

step "build the Windows Installer package"
msi="$stage/TavSrvBackup-$version.msi"
sh "$ROOT/packaging/build_msi.sh" "$stage" "$version" "$msi" || fail "building the package failed"

if [ -n "$pfx" ]; then
  step "sign the package"
  sign "$msi"
fi

step "write the administrator's guide and the zip"
guide="$stage/ADMIN-GUIDE.txt"
python3 "$ROOT/packaging/make_guide.py" "$ROOT/packaging/guide.txt" "$ROOT/README.md" "$ROOT/docs/benchmarks.md" "$version" >"$guide"
zip_name="TavSrvBackup-$version.zip"
# Fixed times and no extra attributes: the same files give the same zip.
stamp=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)
touch -d "@$stamp" "$exe" "$debug" "$guide"
(cd "$stage" && rm -f "$zip_name" && zip -q -X "$zip_name" SrvBackupVostrani.exe SrvBackupVostrani.exe.debug ADMIN-GUIDE.txt)

step "collect into $out"
rm -rf "$out"
mkdir -p "$out"
cp "$msi" "$stage/$zip_name" "$out/"
(cd "$out" && sha256sum "TavSrvBackup-$version.msi" "$zip_name" >SHA256SUMS)

if [ -n "$pfx" ]; then
  echo "   signed with $(basename "$pfx")"
else
  echo "   UNSIGNED: give --sign FILE.pfx to sign the executable and the package"
fi
step "files"
(cd "$out" && ls -l --time-style=+ -- * | awk '{print "   " $5 "\t" $NF}')
