#!/bin/sh
# Builds the Windows Installer package around an executable.
#   packaging/build_msi.sh FOLDER VERSION OUT.msi
# FOLDER holds SrvBackupVostrani.exe. One product code per version, so the
# same version always makes the same product and a newer one upgrades it.
set -eu
folder=$1 version=$2 msi=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
upgrade_code=d441ecba-ed78-4f74-b589-788925638679  # as in the package source
product_code=$(python3 -c "import uuid, sys; print(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2]))" \
  "$upgrade_code" "$version")
# wixl finds the file named in the source from the current folder.
(cd "$folder" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" -o "$msi" \
  "$here/TavSrvBackup.wxs")
# What wixl cannot say in the source: the old version is removed before the
# new one registers the service (wixl puts it after the install); the
# rollback action is one; "ServidorBackup" is written only when given and
# never removed, like the schedule beside it; the property reaches the
# installing server.
msibuild "$msi" \
  -q "UPDATE InstallExecuteSequence SET Sequence = 1401 WHERE Action = 'RemoveExistingProducts'" \
  -q "UPDATE CustomAction SET Type = 3410 WHERE Action = 'UnregisterServiceOnRollback'" \
  -q "UPDATE Component SET Attributes = 20, Condition = 'SERVIDORBACKUP' WHERE Component = 'CentralServerHost'" \
  -q "UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;SERVIDORBACKUP' WHERE Property = 'SecureCustomProperties'"
