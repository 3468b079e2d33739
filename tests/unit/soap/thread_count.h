#pragma once
// Threads of this process now, to see that abandoned exchanges leave none.
namespace soap_test {
int ThreadCount();
}  // namespace soap_test
