// Cost of the work the service does every 10 seconds (the schedule tick when
// nothing is due) and of one run-log write per launch.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "backup/run_log.h"
#include "backup/schedule.h"
#include "base/ini_file.h"
#include "platform/host.h"

namespace {

void BM_IdleTick(benchmark::State& state) {
  for (int h = 0; h < 24; ++h) {
    backup::HourSlots[h].Hour = h;
    backup::HourSlots[h].Enabled = true;
    backup::HourSlots[h].LastRunDate = base::Date();  // everything already ran today
  }
  backup::ScheduleTickHooks hooks{[] { return true; }, [](bool) {}};
  for (auto _ : state) backup::ScheduleTick(hooks);
}
BENCHMARK(BM_IdleTick);

void BM_RunLogWrite(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / "tav-bench-runlog";
  std::filesystem::create_directories(dir);
  base::TIniFile log((dir / "LOGSrvBackup.ini").wstring());
  for (auto _ : state) log.WriteString(L"BACKUP", L"EXECUTADO", backup::RunLogTimestamp(base::Now()));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RunLogWrite);

}  // namespace

int main(int argc, char** argv) {
  platform::install_default_host();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
