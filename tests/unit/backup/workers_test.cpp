#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "backup/UThreadBackup.h"
#include "backup/UThreadKelvo.h"
#include "backup/run_log.h"
#include "base/os_errors.h"
#include "base/ini_file.h"
#include "core/utf.h"
#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

using namespace backup;
using namespace testing_support;

namespace {

// The service's executable lives in a directory with blanks in its name;
// sleeps are recorded instead of slept.
class Workers : public testing::Test {
 protected:
  TempDir dir{"tav service dir"};
  FakeProcess process;
  RecordingShell shell;
  FixedClock clock;
  FixedLocale locale = FixedLocale::BrazilianPortuguese();
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  platform::ScopedOverride<platform::Shell> use_shell{&platform::Host::shell, &shell};
  platform::ScopedOverride<platform::Clock> use_clock{&platform::Host::clock, &clock};
  platform::ScopedOverride<platform::Locale> use_locale{&platform::Host::locale, &locale};

  void SetUp() override {
    process.exe = dir.file(L"SrvBackupVostrani.exe");
    clock.set(2016, 3, 25, 14, 0, 7);
  }
  std::wstring Program() const { return dir.file(L"backup_vostrani.exe"); }
  void PlaceProgram() { std::ofstream(dir.path() / "backup_vostrani.exe") << "stub"; }
  std::wstring Log(const std::wstring& key) {
    return base::TIniFile(dir.file(L"LOGSrvBackup.ini")).ReadString(L"BACKUP", key, L"<none>");
  }
  // The whole file, UTF-16 with its mark (Windows) or UTF-8 (host).
  std::wstring LogText() {
    const std::string bytes = ReadFile(dir.path() / "LOGSrvBackup.ini");
    if (bytes.rfind("\xFF\xFE", 0) != 0) return core::FromUtf8(bytes);
    return core::FromUtf16Bytes(std::string_view(bytes).substr(2));
  }
  // Runs one worker to its end; returns the message of a failure that
  // escaped its body, empty when none did.
  template <class Worker>
  std::wstring RunWorker() {
    Worker worker(true);
    worker.Start();
    worker.WaitFor();
    if (!worker.FatalException()) return L"";
    try {
      std::rethrow_exception(worker.FatalException());
    } catch (const std::exception& e) {
      return core::ExceptionMessage(e);
    }
  }
};

}  // namespace

TEST_F(Workers, ScheduledRunLogsTheAttemptAndStartsTheProgramHidden) {
  PlaceProgram();
  EXPECT_EQ(RunWorker<TThreadBackup>(), L"");
  EXPECT_EQ(Log(L"EXECUTADO"), L"25/03/2016 14:00:07");
  EXPECT_EQ(Log(L"ERRO"), L"<none>");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].file, Program());  // the path with blanks is the file, not a parameter
  EXPECT_EQ(shell.calls[0].parameters, L"ok SERVICO");
  EXPECT_EQ(shell.calls[0].directory, L"");
  EXPECT_EQ(process.sleeps, std::vector<uint32_t>{10000});
}

TEST_F(Workers, MissingProgramIsRecordedAndAStaleErrorOutlivesLaterRuns) {
  std::filesystem::create_directory(dir.path() / "backup_vostrani.exe");  // a directory is not the program
  RunWorker<TThreadBackup>();
  EXPECT_EQ(Log(L"ERRO"), L"Arquivo n\u00E3o localizado: " + Program());
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_EQ(process.sleeps, std::vector<uint32_t>{10000});

  std::filesystem::remove(dir.path() / "backup_vostrani.exe");
  PlaceProgram();
  clock.set(2016, 3, 26, 9, 5, 0);
  RunWorker<TThreadBackup>();
  EXPECT_EQ(Log(L"EXECUTADO"), L"26/03/2016 09:05:00");
  EXPECT_EQ(Log(L"ERRO"), L"Arquivo n\u00E3o localizado: " + Program());
  EXPECT_EQ(shell.calls.size(), 1u);
}

TEST_F(Workers, TimestampUsesTheLocaleSeparators) {
  locale.date_sep = L'.';
  locale.time_sep = L'-';
  EXPECT_EQ(RunLogTimestamp(base::EncodeDate(2016, 3, 5) + base::EncodeTime(4, 3, 2, 0)), L"05.03.2016 04-03-02");
}

// What a launch wrote reads back as its time, whatever separators; any
// other text is no launch at all.
TEST_F(Workers, RecordedLaunchReadsBackWhatTheRunLogWrote) {
  const base::TDateTime when = base::EncodeDate(2016, 3, 5) + base::EncodeTime(4, 3, 2, 0);
  for (const wchar_t* seps : {L"/:", L".-"}) {
    locale.date_sep = seps[0];
    locale.time_sep = seps[1];
    EXPECT_EQ(ParseRunLogTimestamp(RunLogTimestamp(when)), when);
  }
  for (const wchar_t* text : {L"", L"ontem", L"05/03/2016", L"05/03/2016 04:03:02 ", L"5/03/2016 04:03:02",
                              L"31/02/2016 04:03:02", L"05/13/2016 04:03:02", L"05/03/2016 24:00:00",
                              L"05/03/2016 04:60:02", L"05/03/0000 04:03:02", L"05/03/2016 04:03:0x",
                              L"0503/2016 004:03:02", L"05/03/2016T04:03:02"})
    EXPECT_EQ(ParseRunLogTimestamp(text), std::nullopt) << core::ToUtf8(text);
  EXPECT_EQ(RecordedLaunch(), std::nullopt);  // no run log yet
  PlaceProgram();
  RunWorker<TThreadBackup>();
  EXPECT_EQ(RecordedLaunch(), base::EncodeDate(2016, 3, 25) + base::EncodeTime(14, 0, 7, 0));
}

TEST_F(Workers, UnwritableRunLogStartsNothingAndSkipsTheSleep) {
  PlaceProgram();
  std::filesystem::create_directory(dir.path() / "LOGSrvBackup.ini");
  // The second write fails too; the thread swallows it.
  EXPECT_EQ(RunWorker<TThreadBackup>(), L"Unable to write to " + dir.file(L"LOGSrvBackup.ini"));
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(process.sleeps.empty());
}

// The system's message has a line break; the run log keeps it on one line,
// so "ERRO" reads back whole and a later error replaces all of it.
TEST_F(Workers, ProgramThatCannotStartIsRecordedWholeOnOneLine) {
  PlaceProgram();
  shell.faults.FailNext("start_hidden", 2);  // the start call itself fails
  EXPECT_EQ(RunWorker<TThreadBackup>(), L"");
  EXPECT_EQ(Log(L"ERRO"), L"System Error.  Code: 2. " + base::SysErrorMessage(2));
  EXPECT_NE(base::SysErrorMessage(2), L"");
  EXPECT_TRUE(process.sleeps.empty());

  std::filesystem::remove(dir.path() / "backup_vostrani.exe");
  RunWorker<TThreadBackup>();
  EXPECT_EQ(Log(L"ERRO"), L"Arquivo n\u00E3o localizado: " + Program());
  // Nothing of the first message is left behind as a line of its own.
  EXPECT_EQ(LogText().find(base::SysErrorMessage(2)), std::wstring::npos) << core::ToUtf8(LogText());
}

TEST_F(Workers, RequestedRunStartsWithKelvoAndWritesNoFile) {
  RunWorker<TThreadKelvo>();
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_EQ(process.sleeps, std::vector<uint32_t>{10000});
  PlaceProgram();
  RunWorker<TThreadKelvo>();
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].file, Program());
  EXPECT_EQ(shell.calls[0].parameters, L"ok SERVICO KELVO");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LOGSrvBackup.ini"));
}

TEST_F(Workers, WorkerTerminatedBeforeItRanDoesNothing) {
  PlaceProgram();
  {
    TThreadBackup worker(true);
    worker.Terminate();
    worker.Resume();
    worker.WaitFor();
  }
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LOGSrvBackup.ini"));
}

// The real platform start: a recording stand-in for the backup program,
// in a directory whose path has blanks.
TEST(WorkersRealStart, BackupProgramReceivesItsArguments) {
  TempDir dir{"tav real start"};
  std::filesystem::path stub = TAV_RECORD_START;
#ifdef _WIN32
  if (stub.string().rfind("/", 0) == 0) stub = "Z:" + stub.string();  // Wine's view of the build tree
#endif
  std::filesystem::copy_file(stub, dir.path() / "backup_vostrani.exe");
  FakeProcess process;
  process.exe = dir.file(L"SrvBackupVostrani.exe");
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  {
    TThreadBackup worker(true);
    worker.Start();
    worker.WaitFor();
  }
  const auto calls = dir.path() / "backup_vostrani.exe.calls";
  std::string recorded;
  testing_support::WaitUntil(  // the program writes its line after it starts
      [&] {
        recorded = std::filesystem::exists(calls) ? ReadFile(calls) : "";
        return recorded.find('\n') != std::string::npos;
      },
      std::chrono::seconds(20));
  EXPECT_EQ(recorded.substr(0, recorded.find('|')), "args=ok SERVICO") << recorded;
  EXPECT_NE(base::TIniFile(dir.file(L"LOGSrvBackup.ini")).ReadString(L"BACKUP", L"EXECUTADO", L""), L"");
}
