#!/usr/bin/env python3
"""A missed hour made up under Wine: the previous hour enabled, the current
one not, the run log's last launch dated yesterday, as after a machine that
was off over the backup hour. With "RecuperarPerdidos" 1 the first tick
launches "ok SERVICO" once and later ticks launch nothing; without it
nothing runs. Results go to build/e2e-results/catch_up.xml.
"""
import sys
import time

from harness import *  # noqa: F401,F403 (the shared run of the service under Wine)

WATCH_S = 35  # three more ticks after the first


def settle_hour():
    """Waits out the last minute of an hour, so the previous hour stays put."""
    now = time.localtime()
    if now.tm_min == 59:
        time.sleep(61 - now.tm_sec)


def yesterday_launch():
    """Early yesterday: before the previous hour began, even at 00:xx."""
    day = time.localtime(time.time() - 86400)
    return f"{day.tm_mday:02d}/{day.tm_mon:02d}/{day.tm_year:04d} 00:00:07"


def start_and_watch(report, option):
    previous = (time.localtime().tm_hour - 1) % 24
    settings = all_settings({previous})
    if option:
        settings[KEY]["RecuperarPerdidos"] = 1
    else:
        reg_delete("RecuperarPerdidos")
    report.check("settings written", reg_import(settings))
    (APP / "backup_vostrani.exe.calls").unlink(missing_ok=True)
    (APP / "LOGSrvBackup.ini").write_text(f"[BACKUP]\r\nEXECUTADO={yesterday_launch()}\r\n",
                                          encoding="utf-16")
    wine("sc", "start", SERVICE)
    report.check("running", wait_state(RUNNING, 30))
    started = time.monotonic()
    if option:
        first = wait_for(lambda: launches("ok SERVICO"), 15)
        report.check(f"one launch {time.monotonic() - started:.0f} s after the start", first,
                     "none within 15 s")
    time.sleep(WATCH_S)
    made = launches("ok SERVICO")
    report.check(f"{1 if option else 0} launch in {time.monotonic() - started:.0f} s", len(made) == int(option),
                 made)
    if option:
        executed = (APP / "LOGSrvBackup.ini").read_text(encoding="utf-16")
        report.check("EXECUTADO shows the catch-up's time", time.strftime("%d/%m/%Y") in executed, executed)
    wine("sc", "stop", SERVICE)
    report.check("stopped", wait_state(STOPPED, 30))


def main():
    report = Report()
    try:
        set_up(report)
        report.begin("install")
        report.check("installed", wine(EXE_WIN, "/INSTALL", "/SILENT")[0] == 0)
        settle_hour()
        report.begin("RecuperarPerdidos absent: the missed hour stays missed")
        start_and_watch(report, False)
        settle_hour()
        report.begin("RecuperarPerdidos 1: one run makes up the missed hour")
        start_and_watch(report, True)
    except Exception as e:  # a broken step is a failure, and the clean-up still runs
        report.check("scenario ran to its end", False, repr(e))
    finally:
        end_wine(report, None)
    failed = report.write("catch_up")
    print(f"== catch-up: {len(report.cases) - failed} passed, {failed} failed, {report.elapsed():.0f} s", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
