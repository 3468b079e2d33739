#!/usr/bin/env python3
"""End-to-end scenarios: the real SrvBackupVostrani.exe under Wine.

It is installed from a folder whose name has a blank, in a throwaway prefix,
and driven only by Wine's sc and reg and the small service_probe helper
(pause, continue, interrogate and the service's configuration, which Wine's
sc lacks). A stand-in backup_vostrani.exe records each start; a stand-in
central web service on 127.0.0.1:5660 serves the WSDL and scripted answers
and records every request. The service's event-log entries are read from
Wine's err:eventlog trace, which the service process inherits from the
prefix's first process; +pid tells which process wrote each entry.

The 60-second poll sets the pace: one timeline carries the scheduled run,
pause/continue/interrogate, a server that is down at the first poll, a
fault at the second, a requested run at the third and a hung server that a
stop must not wait for at the fourth. Every wait is on a condition with a
bounded time-out. Results go to build/e2e-results/e2e.xml.
"""
import re
import sys
import time

from harness import *  # noqa: F401,F403 (the shared run of the service under Wine)


def windows_exit_code(*args):
    """Runs the program from a batch file and reads its exit code there:
    Wine hands Linux only the low 8 bits, cmd's %errorlevel% has all 32
    (1073 reaches Linux as 49). Returns the code (None if unread), stdout
    and stderr."""
    script = PREFIX / "drive_c" / "exit_code.cmd"
    command = " ".join(f'"{a}"' if " " in a else a for a in args)
    script.write_bytes(f"@echo off\r\n{command}\r\necho exit code %errorlevel%\r\n".encode("ascii"))
    _, out, err = wine("cmd", "/c", "C:\\exit_code.cmd", timeout=120)
    seen = re.search(r"exit code (-?\d+)", out)
    return (int(seen.group(1)) if seen else None), out, err


def install(report):
    report.begin("install from a folder with a blank in its name")
    rc, _, err = wine(EXE_WIN, "/INSTALL")
    report.check("exit code 0", rc == 0, f"rc={rc}")
    report.check("success message", "Information: Service installed successfully" in err, err.strip())
    config = probe_values("config", SERVICE)
    report.check("path registered in quotation marks", config.get("binary") == f'"{EXE_WIN}"', config.get("binary"))
    report.check("display name", config.get("display") == DISPLAY, config.get("display"))
    report.check("own process, automatic start, normal errors",
                 (config.get("type"), config.get("start"), config.get("error_control")) == ("16", "2", "1"), config)
    report.check("description on the service itself", config.get("description") == "TAV Backup - v1.00",
                 config.get("description"))
    for source in (SERVICE, EXE_NAME):
        out = reg_query_value(EVENT_SOURCES + source, "EventMessageFile")
        report.check(f"event source {source} names the executable's message table", EXE_WIN in out, out.strip())
    _, out, _ = probe("render", EXE_WIN, "Service failed on start: an example")
    report.check("an entry renders as its own text", out.strip() == "rendered=Service failed on start: an example",
                 out.strip())

    rc, _, err = windows_exit_code(EXE_WIN, "-install", "/silent")
    report.check("second install ends with 1073", rc == 1073, f"rc={rc}")
    expected = f'Error: Service "{DISPLAY}" failed to install with error: "System Error.  Code: 1073.'
    report.check("second install says why, even silent", expected in err, err.strip())
    report.check("first registration untouched", probe_values("config", SERVICE) == config)


def started_by_hand(report):
    """While the service runs and no other start is under way: a start by
    hand must not take the connection the control manager prepared for a
    service it is starting. The dispatcher takes about 10 s to fail."""
    report.begin("started by hand, without the control manager")
    began = time.monotonic()
    rc, _, err = run(["wine", EXE_WIN], timeout=60, debug=TRACE_DEBUG)
    report.check(f"exit code 0 after {time.monotonic() - began:.0f} s", rc == 0, f"rc={rc}")
    entries = [m.group(2) for m in map(TRACE_LINE.match, err.splitlines()) if m]
    text = probe_values("errortext", "1063").get("text", "?")
    report.check("exactly one entry, the system text for 1063", entries == [text], f"{entries} vs {text!r}")
    report.check("no message box", "Application Error" not in err, err.strip())


def refused_starts(report):
    report.begin('start refused: "SERVICO" is not exactly "S"')
    report.check("settings written", reg_import(all_settings(set(), servico="s")))
    mark = trace_size()
    wine("sc", "start", SERVICE)
    report.check("the service reaches STOPPED",
                 wait_for(lambda: state()[0] == STOPPED and trace_size() >= mark, 30))
    report.check("no event-log entry", trace_entries(mark) == [], trace_entries(mark))

    report.begin("start fails: the weekday value 'Domingo' is missing")
    reg_import(all_settings(set()))
    reg_delete("Domingo")
    mark = trace_size()
    wine("sc", "start", SERVICE)
    entry = wait_for(lambda: trace_entries(mark), 30)
    report.check("one entry naming the value",
                 [text for _, text in entry or []] == ["Service failed on start: Failed to get data for 'Domingo'"],
                 entry)
    report.check("the service reaches STOPPED", wait_state(STOPPED, 30))
    report.check("nothing was launched", not launches("ok SERVICO"))


def running_timeline(report, server):
    hour = time.localtime().tm_hour
    hours = {hour, (hour + 1) % 24}  # a run near the full hour may tick in the next one
    reg_import(all_settings(hours))
    mark = trace_size()

    report.begin("scheduled run at the current hour")
    wine("sc", "start", SERVICE)
    t0 = time.monotonic()
    report.check("running", wait_state(RUNNING, 30))
    pid = state()[1]
    report.check("first tick launches \"ok SERVICO\"", wait_for(lambda: launches("ok SERVICO"), 40),
                 "no launch recorded")
    run_log = APP / "LOGSrvBackup.ini"
    logged = wait_for(lambda: run_log.exists() and "EXECUTADO=" in run_log.read_text(encoding="utf-16"), 10)
    report.check("run log written", logged)
    if logged:
        print("   " + " ".join(run_log.read_text(encoding="utf-16").split()))
    print("   " + "; ".join(launches("ok SERVICO")))

    report.begin("pause, interrogate, continue")
    report.check("pause accepted", probe("control", SERVICE, "2")[0] == 0)
    report.check("paused", wait_state(PAUSED, 20))
    report.check("interrogate while paused", probe("control", SERVICE, "4")[0] == 0 and state()[0] == PAUSED)
    report.check("continue accepted", probe("control", SERVICE, "3")[0] == 0)
    report.check("running again", wait_state(RUNNING, 20))

    started_by_hand(report)

    report.begin("central server down at the first poll, a fault at the second")
    print(f"   waiting for the first poll (60 s after start) to find no server", flush=True)
    wait_for(lambda: time.monotonic() - t0 > 66, 70, step=1)
    server.answer({"TestaConexao": {"fault": "Servidor em manuten\u00e7\u00e3o"}})
    report.check("server started after the first poll", server.start())
    print("   waiting for the second poll", flush=True)
    faulted = wait_for(lambda: server.posts("TestaConexao"), 60 + 30, step=0.5)
    report.check("second poll fetched the WSDL and called TestaConexao",
                 faulted and any(r["method"] == "GET" for r in server.requests()), server.requests())
    time.sleep(2)  # room for a BuscaSolic that must not come
    report.check("after the fault: no BuscaSolic, no launch", not server.posts("BuscaSolic")
                 and not launches("ok SERVICO KELVO"))
    report.check("still running", state()[0] == RUNNING)

    report.begin("requested run")
    server.answer({"TestaConexao": {"return": "OK"}, "BuscaSolic": {"return": REQUEST_FOR_US}})
    print(f"   waiting for the third poll; the server names {REQUEST_FOR_US.split('|')[1]}", flush=True)
    report.check("launch with \"ok SERVICO KELVO\"", wait_for(lambda: launches("ok SERVICO KELVO"), 60 + 30),
                 "no requested launch")
    for operation in ("TestaConexao", "BuscaSolic"):
        actions = {r["soapaction"] for r in server.posts(operation)}
        report.check(f"SOAPAction of {operation}", actions == {SOAP_ACTION.format(operation)}, actions)
    types = {r["content_type"] for r in server.requests() if r["method"] == "POST"}
    report.check("posts are text/xml", all(t and t.startswith("text/xml") for t in types), types)

    status_of_running_service(report, server)

    report.begin("stop while the server hangs")
    server.answer({"TestaConexao": {"hang": True}})
    calls = len(server.posts("TestaConexao"))
    print("   waiting for the fourth poll to hang on the server", flush=True)
    report.check("fourth poll waits on the server",
                 wait_for(lambda: len(server.posts("TestaConexao")) > calls, 60 + 30, step=0.5))
    began = time.monotonic()
    wine("sc", "stop", SERVICE)
    stopped = wait_state(STOPPED, 30)
    seconds = time.monotonic() - began
    report.check(f"STOPPED within a few seconds ({seconds:.1f} s)", stopped and seconds < 10)
    report.check("its process has ended", wait_for(lambda: not service_processes(), 10), service_processes())

    report.begin("scheduled runs over the whole timeline")
    hours_seen = {hour, time.localtime().tm_hour} & hours
    report.check(f"one scheduled run per enabled hour ({len(hours_seen)})",
                 len(launches("ok SERVICO")) == len(hours_seen), launches("ok SERVICO"))
    report.check("no event-log entry from the service", [e for e in trace_entries(mark) if e[0] == pid] == [],
                 trace_entries(mark))


def status(*args):
    rc, out, err = wine(EXE_WIN, *args, timeout=120)
    return rc, out.replace("\r\n", "\n"), err


def has_lines(report, out, lines):
    for line in lines:
        report.check(f"prints {line.strip()!r}", f"\n{line}\n" in out, out)


def status_command(report, server):
    """"/STATUS" against the installed, stopped service: what it prints and
    its exit code with the central server down and up, and that it changes
    nothing. The server's requests are forgotten afterwards, so the timeline
    still finds it down at the first poll."""
    reg_import(all_settings({time.localtime().tm_hour}))
    before = sorted(p.name for p in APP.iterdir())

    report.begin('"/STATUS" against the stopped service, the central server down')
    rc, out, err = status("/STATUS")
    report.check("exit code 2 (CRITICAL)", rc == 2, f"rc={rc} {err.strip()}")
    has_lines(report, out, ("  Installed: yes", "  State: stopped", "  Start type: automatic",
                            f'  Registered path: "{EXE_WIN}" (quoted)', '  SERVICO: "S": enabled',
                            f"  CNPJ: {COMPANY}", f"  ServidorBackup: {HOST}", "  WSDL fetched: no",
                            "Result: CRITICAL (exit code 2)", "  Scheduled runs: no: the service is stopped"))
    report.check("the live check's failure names the WSDL",
                 f"TestaConexao: fails: Unable to load WSDL File/Location: http://{HOST}:5660/" in out, out)

    report.begin('"-status" against the stopped service, the server up with a request')
    server.answer({"TestaConexao": {"return": "OK"}, "BuscaSolic": {"return": REQUEST_FOR_US}})
    report.check("server started", server.start())
    rc, out, err = status("-status")
    report.check("exit code 2 (CRITICAL)", rc == 2, f"rc={rc} {err.strip()}")
    has_lines(report, out, (f'  TestaConexao: "OK" (SOAPAction {SOAP_ACTION.format("TestaConexao")})',
                            "  BuscaSolic: not called: it would take a pending request away from the service",
                            "  Requested runs: no: the service is stopped"))
    report.check("the request stays on the server: no BuscaSolic", not server.posts("BuscaSolic"),
                 server.posts("BuscaSolic"))
    print("   " + "\n   ".join(out.splitlines()), flush=True)

    report.begin('"/STATUS" with "ServidorBackup" of the wrong type')
    reg_import({KEY: {"ServidorBackup": 7}})
    rc, out, err = status("/STATUS")
    report.check("exit code 2, no box", rc == 2 and "Application Error" not in err, f"rc={rc} {err.strip()}")
    has_lines(report, out, ("  ServidorBackup: a REG_DWORD, 7: refused: Invalid data type for 'ServidorBackup'",))
    reg_import(all_settings({time.localtime().tm_hour}))

    report.begin('"/STATUS" with "SERVICO" not "S", and "/?"')
    reg_import({KEY: {"SERVICO": "N"}})
    rc, out, _ = status("/STATUS")
    report.check("exit code 2", rc == 2, f"rc={rc}")
    report.check("says why", 'SERVICO is not "S", so the service does not start' in out, out)
    rc, out, _ = status("/?")
    report.check("help: exit code 0 and the switches", rc == 0 and "/STATUS" in out and "/UNINSTALL" in out, out)
    report.check("nothing launched, no file written",
                 not launches("ok SERVICO") and not launches("ok SERVICO KELVO") and sorted(p.name for p in APP.iterdir()) == before)
    server.stop()
    server.log.unlink(missing_ok=True)
    server.answer({})


def status_of_running_service(report, server):
    """"/STATUS" while the service runs and the server answers: both
    triggers can happen."""
    report.begin('"/STATUS" against the running service, the server up')
    rc, out, err = status("/STATUS")
    report.check("exit code 0 (OK)", rc == 0, f"rc={rc} {err.strip()}\n{out}")
    has_lines(report, out, ("  State: running", "  Scheduled runs: yes", "  Requested runs: yes"))
    print("   " + "\n   ".join(out.splitlines()), flush=True)


def uninstall(report):
    report.begin("uninstall")
    rc, _, err = wine(EXE_WIN, "/UNINSTALL")
    report.check("exit code 0", rc == 0, f"rc={rc}")
    report.check("success message", "Information: Service uninstalled successfully" in err, err.strip())
    report.check("the service is gone", probe_values("config", SERVICE).get("error") == "1060")
    for source in (SERVICE, EXE_NAME):
        report.check(f"event source {source} removed", wine("reg", "query", EVENT_SOURCES + source)[0] != 0)
    rc, _, err = windows_exit_code(EXE_WIN, "/UNINSTALL")
    expected = f'Error: Service "{DISPLAY}" failed to uninstall with error: "System Error.  Code: 1060.'
    report.check("uninstall of nothing ends with 1060", rc == 1060, f"rc={rc}")
    report.check("and says why", expected in err, err.strip())


def main():
    report = Report()
    server = None
    try:
        set_up(report)
        server = CentralServer()
        install(report)
        status_command(report, server)
        refused_starts(report)
        running_timeline(report, server)
        uninstall(report)
    except Exception as e:  # a broken step is a failure, and the clean-up still runs
        report.check("scenario ran to its end", False, repr(e))
    finally:
        end_wine(report, server)
    failed = report.write()
    print(f"== end-to-end: {len(report.cases) - failed} passed, {failed} failed, "
          f"{report.elapsed():.0f} s", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
