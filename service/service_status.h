#pragma once
// The status record sent to the control manager, with its checkpoint rule:
// a pending status reported again counts the checkpoint up, anything else
// resets it to 0.
#include "platform/service_control.h"
#include "service/service_types.h"

namespace service {

struct CheckPointMemory {
  TCurrentStatus last_status = TCurrentStatus::csStartPending;
  uint32_t last_check_point = 0;
};

struct ServiceStatusFields {
  TCurrentStatus status;
  uint32_t service_type_code;
  uint32_t controls_accepted;
  uint32_t err_code;
  uint32_t win32_err_code;
  int32_t wait_hint;
};

// Builds the record and moves `memory` on to it.
platform::ServiceStatus BuildServiceStatus(const ServiceStatusFields& facts, CheckPointMemory& memory);

// One per process, shared by all its services.
CheckPointMemory& ProcessCheckPointMemory();

}  // namespace service
