#include "service/service_status.h"

namespace service {

uint32_t StateCode(TCurrentStatus status) { return static_cast<uint32_t>(status) + 1; }

bool IsPending(TCurrentStatus status) {
  return status == TCurrentStatus::csStartPending || status == TCurrentStatus::csStopPending ||
         status == TCurrentStatus::csContinuePending || status == TCurrentStatus::csPausePending;
}

platform::ServiceStatus BuildServiceStatus(const ServiceStatusFields& facts, CheckPointMemory& memory) {
  platform::ServiceStatus s;
  s.service_type = facts.service_type_code;
  s.current_state = StateCode(facts.status);
  s.controls_accepted = facts.status == TCurrentStatus::csStartPending ? 0 : facts.controls_accepted;
  s.win32_exit_code = facts.err_code != 0 ? platform::kServiceSpecificError : facts.win32_err_code;
  s.service_specific_exit_code = facts.err_code;
  s.check_point =
      IsPending(facts.status) && facts.status == memory.last_status ? memory.last_check_point + 1 : 0;
  s.wait_hint = static_cast<uint32_t>(facts.wait_hint);
  memory.last_status = facts.status;
  memory.last_check_point = s.check_point;
  return s;
}

CheckPointMemory& ProcessCheckPointMemory() {
  static CheckPointMemory memory;
  return memory;
}

}  // namespace service
