#include "support/fakes.h"

#include "base/exceptions.h"

namespace testing_support {

void RecordingShell::start_hidden(const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory) {
  if (fail) base::RaiseOSError(2);
  calls.push_back({file, parameters, directory});
}

}  // namespace testing_support
