#pragma once
// Threads of this process now, to see that abandoned exchanges leave none.
namespace testing_support {
int ThreadCount();
}  // namespace testing_support
