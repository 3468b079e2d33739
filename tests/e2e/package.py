#!/usr/bin/env python3
"""The release, as an administrator deploys it, under Wine.

scripts/release.sh makes the release, signed with a throwaway self-signed
certificate made on the spot; the signatures must verify and must break
when the file changes; the zip's executable carries the project's version
and a debug link that reads a code address back to its source line.

Then, in a throwaway prefix that already holds the backup program, its
backup.ini and a schedule for the current hour: an older package (same
recipe, version 0.9.0, the test build's executable) installs silently with
SERVIDORBACKUP, registers the service as "/INSTALL" does and starts it, and
the scheduled launch happens; the release's package upgrades it in place
(the registration made again, the executable replaced, the service started,
schedule and run log kept) and its signed executable runs; removing it
takes out exactly what the package made. Last, "/INSTALL" by hand registers
the same as the package did. Results go to build/e2e-results/package.xml.
"""
import shutil
import subprocess
import sys
import time
import zipfile

from harness import *  # noqa: F401,F403 (the shared run of the service under Wine)

DIST = WORK / "dist"
SIGNING = WORK / "signing"
OLD = WORK / "old"
UNZIPPED = WORK / "unzipped"
RELEASE_BUILD = ROOT / "build" / "release"
OLD_VERSION = "0.9.0"
RUN_LOG = APP / "LOGSrvBackup.ini"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
MARK = "MARCA=mantida"


def host_run(args, timeout=120, cwd=None):
    done = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout, cwd=cwd)
    return done.returncode, done.stdout.decode("utf-8", "replace") + done.stderr.decode("utf-8", "replace")


def make_certificate():
    SIGNING.mkdir(parents=True)
    (SIGNING / "password").write_text("throwaway")
    host_run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
              "/CN=TAV release test", "-keyout", str(SIGNING / "key.pem"), "-out", str(SIGNING / "cert.pem")])
    host_run(["openssl", "pkcs12", "-export", "-out", str(SIGNING / "test.pfx"), "-inkey", str(SIGNING / "key.pem"),
              "-in", str(SIGNING / "cert.pem"), "-passout", f"file:{SIGNING / 'password'}"])
    return SIGNING / "test.pfx"


def release(report):
    report.begin("scripts/release.sh --sign, with a throwaway certificate")
    pfx = make_certificate()
    began = time.monotonic()
    rc, out = host_run(["sh", str(ROOT / "scripts" / "release.sh"), "--sign", str(pfx), "--password-file",
                        str(SIGNING / "password"), "--out", str(DIST)], timeout=1800)
    report.check(f"exit code 0 after {time.monotonic() - began:.0f} s", rc == 0, out[-2000:])
    report.check("says it signed", "signed with test.pfx" in out and "UNSIGNED" not in out, out[-500:])
    cache = (RELEASE_BUILD / "CMakeCache.txt").read_text() if (RELEASE_BUILD / "CMakeCache.txt").exists() else ""
    version = next((line.split("=", 1)[1] for line in cache.splitlines()
                    if line.startswith("CMAKE_PROJECT_VERSION:")), "?")
    names = sorted(p.name for p in DIST.iterdir()) if DIST.is_dir() else []
    expected = sorted([f"TavSrvBackup-{version}.msi", f"TavSrvBackup-{version}.zip", "SHA256SUMS"])
    report.check(f"dist holds the package, the zip and SHA256SUMS of version {version}", names == expected, names)
    rc, out = host_run(["sha256sum", "-c", "SHA256SUMS"], cwd=DIST)
    report.check("the checksums match", rc == 0 and out.count(": OK") == 2, out)
    zip_path = DIST / f"TavSrvBackup-{version}.zip"
    members = sorted(zipfile.ZipFile(zip_path).namelist()) if zip_path.exists() else []
    report.check("the zip holds the executable, its debug file and the guide",
                 members == ["ADMIN-GUIDE.txt", "SrvBackupVostrani.exe", "SrvBackupVostrani.exe.debug"], members)
    if members:
        zipfile.ZipFile(zip_path).extractall(UNZIPPED)
        guide = (UNZIPPED / "ADMIN-GUIDE.txt").read_text(encoding="utf-8")
        report.check("the guide names the package and carries the exit codes and the benchmark table",
                     f"TavSrvBackup-{version}.msi" in guide and "| Code |" in guide and "| Figure |" in guide)
    return version, DIST / f"TavSrvBackup-{version}.msi"


def signatures(report, msi):
    report.begin("signatures")
    exe = UNZIPPED / EXE_NAME
    for name, path in ((EXE_NAME, exe), (msi.name, msi)):
        rc, out = host_run(["osslsigncode", "verify", "-CAfile", str(SIGNING / "cert.pem"), "-in", str(path)])
        report.check(f"{name} verifies", rc == 0 and "Succeeded" in out, out[-600:])
        # A byte changed in the middle of the file must break the signature:
        # it covers the contents, not only the headers.
        tampered = WORK / f"tampered-{name}"
        data = bytearray(path.read_bytes())
        data[len(data) // 2] ^= 0xFF
        tampered.write_bytes(bytes(data))
        rc, out = host_run(["osslsigncode", "verify", "-CAfile", str(SIGNING / "cert.pem"), "-in", str(tampered)])
        report.check(f"{name} changed by one byte no longer verifies", rc != 0, out[-300:])


def executable(report, version):
    report.begin("the released executable")
    exe, debug = UNZIPPED / EXE_NAME, UNZIPPED / (EXE_NAME + ".debug")
    _, sections = host_run(["x86_64-w64-mingw32-objdump", "-h", str(exe)])
    report.check("stripped, with a debug link", ".gnu_debuglink" in sections and ".debug_" not in sections, sections)
    _, symbols = host_run(["x86_64-w64-mingw32-nm", str(debug)])
    main = next((line.split()[0] for line in symbols.splitlines() if line.endswith(" T main")), None)
    _, line = host_run(["x86_64-w64-mingw32-addr2line", "-e", str(debug), f"0x{main}"]) if main else (1, "")
    report.check("the debug file reads main's address back to its source line",
                 line.strip().startswith("./app/SrvBackupVostrani.cpp:"), line.strip())
    build_path = str(ROOT).encode()
    report.check("no build folder in the executable or its debug file",
                 build_path not in exe.read_bytes() and build_path not in debug.read_bytes())
    values = probe_values("version", win_path(exe))
    wanted = {"file_version": f"{version}.0", "product_version": f"{version}.0", "FileVersion": version,
              "ProductVersion": version, "ProductName": "TAV Backup", "FileDescription": DISPLAY,
              "OriginalFilename": EXE_NAME, "InternalName": "SrvBackupVostrani"}
    report.check("the version resource reads back the project's version", values == wanted, values)


def msiexec(log, *args):
    """msiexec's exit code; its verbose log goes to the work folder."""
    return wine("msiexec", *args, "/l*v", win_path(WORK / f"msiexec-{log}.log"), timeout=300)[0]


def product_code(msi):
    _, out = host_run(["msiinfo", "export", str(msi), "Property"])
    return next((line.split("\t")[1] for line in out.splitlines() if line.startswith("ProductCode\t")), "?")


def key_exists(key, *view):
    return wine("reg", "query", key, *view)[0] == 0


def registered(code):
    return key_exists(UNINSTALL_KEY + code)


def registration():
    """What the control manager and the event log hold about the service."""
    config = probe_values("config", SERVICE)
    for source in (SERVICE, EXE_NAME):
        config[f"source {source}"] = reg_query_value(EVENT_SOURCES + source, "EventMessageFile").strip()
    return config


def check_registration(report, config):
    report.check("path registered in quotation marks", config.get("binary") == f'"{EXE_WIN}"', config.get("binary"))
    report.check("display name, own process, automatic start, normal errors, local system",
                 (config.get("display"), config.get("type"), config.get("start"), config.get("error_control"),
                  config.get("account")) == (DISPLAY, "16", "2", "1", "LocalSystem"), config)
    report.check("description", config.get("description") == "TAV Backup - v1.00", config.get("description"))
    for source in (SERVICE, EXE_NAME):
        report.check(f"event source {source} names the executable's message table",
                     EXE_WIN in config.get(f"source {source}", ""), config.get(f"source {source}"))
    values = probe_values("failure", SERVICE)
    if values.get("error") == "124":
        print("   note: Wine keeps no failure actions (QueryServiceConfig2W answers 124); "
              "the unit tests read them back from the control manager's stand-in")
    else:
        report.check("restart after 60 s twice, reset after a day",
                     values == {"reset": "86400", "actions": "1:60000,1:60000"}, values)


def schedule():
    hours = {time.localtime().tm_hour, (time.localtime().tm_hour + 1) % 24}  # a run near the full hour
    settings = all_settings(hours)
    del settings[KEY]["ServidorBackup"]  # the package writes it
    return settings


def settings_now():
    _, out, _ = wine("reg", "query", KEY, "/s", "/reg:32")
    return sorted(" ".join(line.split()) for line in out.splitlines() if "REG_" in line)


def install_old(report):
    report.begin(f"an older package ({OLD_VERSION}) installs silently and starts the service")
    OLD.mkdir()
    shutil.copy(BUILD / "app" / EXE_NAME, OLD / EXE_NAME)
    old_msi = OLD / f"TavSrvBackup-{OLD_VERSION}.msi"
    rc, out = host_run(["sh", str(ROOT / "packaging" / "build_msi.sh"), str(OLD), OLD_VERSION, str(old_msi)])
    report.check("older package built", rc == 0, out[-500:])
    rc = msiexec("install", "/i", win_path(old_msi), "/qn", f"SERVIDORBACKUP={HOST}")
    report.check("msiexec /i /qn ends with 0", rc == 0, f"rc={rc}")
    report.check("the executable is in INSTALLDIR", (APP / EXE_NAME).read_bytes() == (OLD / EXE_NAME).read_bytes())
    check_registration(report, registration())
    values = settings_now()
    report.check("SERVIDORBACKUP written to the 32-bit view", f"ServidorBackup REG_SZ {HOST}" in values, values)
    report.check("the service runs", wait_state(RUNNING, 30), state())
    report.check("a scheduled launch happens", wait_for(lambda: launches("ok SERVICO"), 40), launches("ok SERVICO"))
    report.check("the run log is written",
                 wait_for(lambda: RUN_LOG.exists() and "EXECUTADO=" in RUN_LOG.read_text(encoding="utf-16"), 10))
    return old_msi


def upgrade(report, old_msi, msi):
    report.begin("the release's package upgrades it in place")
    wine("sc", "description", SERVICE, "left by the older version")
    RUN_LOG.write_text(RUN_LOG.read_text(encoding="utf-16") + f"[TESTE]\n{MARK}\n", encoding="utf-16")
    settings = settings_now()
    _, old_pid = state()
    launched = len(launches("ok SERVICO"))
    rc = msiexec("upgrade", "/i", win_path(msi), "/qn")
    report.check("msiexec /i /qn ends with 0", rc == 0, f"rc={rc}")
    report.check("the older product is gone, the newer registered",
                 not registered(product_code(old_msi)) and registered(product_code(msi)))
    report.check("the executable replaced by the signed release",
                 (APP / EXE_NAME).read_bytes() == (UNZIPPED / EXE_NAME).read_bytes())
    config = registration()
    report.check("the service registered again by the new version (the old description is gone)",
                 config.get("description") == "TAV Backup - v1.00", config.get("description"))
    check_registration(report, config)
    report.check("the service runs in a new process", wait_for(lambda: state()[0] == RUNNING and state()[1] != old_pid,
                                                               30), state())
    report.check("the schedule and ServidorBackup are kept", settings_now() == settings, settings_now())
    report.check("the run log is kept", RUN_LOG.exists() and MARK in RUN_LOG.read_text(encoding="utf-16"))
    report.check("the signed executable launches the hour again",
                 wait_for(lambda: len(launches("ok SERVICO")) > launched, 40), launches("ok SERVICO"))
    return config


def uninstall(report, msi):
    report.begin("removing the package")
    settings = settings_now()
    # Wine's msiexec asks the service to stop and goes on without waiting
    # (Windows waits), so a service still stopping holds its file; stopped
    # first, the removal is the same on both.
    wine("sc", "stop", SERVICE)
    report.check("the service stopped", wait_state(STOPPED, 30), state())
    rc = msiexec("remove", "/x", win_path(msi), "/qn")
    report.check("msiexec /x /qn ends with 0", rc == 0, f"rc={rc}")
    report.check("the service is gone", probe_values("config", SERVICE).get("error") == "1060",
                 probe_values("config", SERVICE))
    for source in (SERVICE, EXE_NAME):
        report.check(f"event source {source} is gone", not key_exists(EVENT_SOURCES + source))
    report.check("the executable is gone", not (APP / EXE_NAME).exists())
    left = sorted(p.name for p in APP.iterdir())
    report.check("the backup program, backup.ini and the run log stay",
                 {"backup_vostrani.exe", "backup.ini", "LOGSrvBackup.ini"} <= set(left), left)
    report.check("the schedule and ServidorBackup stay", settings_now() == settings, settings_now())
    report.check("no service process left", wait_for(lambda: not service_processes(), 20), service_processes())
    report.check("the product is no longer registered", not registered(product_code(msi)))


def same_as_install_by_hand(report, packaged):
    report.begin('"/INSTALL" by hand registers what the package did')
    shutil.copy(UNZIPPED / EXE_NAME, APP / EXE_NAME)
    rc, _, err = wine(EXE_WIN, "/INSTALL", "/SILENT")
    report.check("exit code 0", rc == 0, err.strip())
    by_hand = registration()
    report.check("same registration", by_hand == packaged, f"{by_hand} vs {packaged}")
    wine(EXE_WIN, "/UNINSTALL", "/SILENT")


def main():
    report = Report()
    server = None
    try:
        set_up(report)
        (APP / EXE_NAME).unlink()  # the package brings it
        version, msi = release(report)
        if msi.exists():
            signatures(report, msi)
            executable(report, version)
            report.begin("a schedule for the current hour and a central server")
            report.check("settings written", reg_import(schedule()))
            server = CentralServer()
            report.check("server started", server.start())
            old_msi = install_old(report)
            packaged = upgrade(report, old_msi, msi)
            uninstall(report, msi)
            same_as_install_by_hand(report, packaged)
    finally:
        end_wine(report, server)
    failed = report.write("package")
    print(f"== package: {len(report.cases) - failed} passed, {failed} failed, {report.elapsed():.0f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
