#pragma once
#include "base/thread.h"

namespace backup {

// Scheduled run: records the attempt in the run log and starts the backup
// program with "ok SERVICO".
class TThreadBackup : public base::TThread {
 public:
  explicit TThreadBackup(bool createSuspended) : TThread(createSuspended) {}
  ~TThreadBackup() override { TerminateAndWait(); }

 protected:
  void Execute() override;
};

}  // namespace backup
