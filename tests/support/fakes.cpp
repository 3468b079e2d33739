#include "support/fakes.h"


namespace testing_support {

core::Status RecordingShell::start_hidden(const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory) {
  if (core::Status planned = faults.Next("start_hidden"); !planned.ok()) return planned;
  calls.push_back({file, parameters, directory});
  return core::Status::Ok();
}

}  // namespace testing_support
