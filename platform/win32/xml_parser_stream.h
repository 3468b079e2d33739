#pragma once
// A COM stream that reads a byte range it does not own, for readers that take
// their input as a stream; shlwapi's memory stream would map two more DLLs
// for the process's whole life.
#include <windows.h>
#include <objidl.h>

#include <string_view>

namespace platform::win32 {

// Starts with one reference; the bytes must outlive every reference.
ISequentialStream* NewByteStream(std::string_view bytes);

}  // namespace platform::win32
