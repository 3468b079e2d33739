#pragma once
#include "base/thread.h"

namespace backup {

// Requested run: starts the backup program with "ok SERVICO KELVO";
// keeps no log.
class TThreadKelvo : public base::TThread {
 public:
  explicit TThreadKelvo(bool createSuspended) : TThread(createSuspended) {}
  ~TThreadKelvo() override { TerminateAndWait(); }

 protected:
  void Execute() override;
};

}  // namespace backup
