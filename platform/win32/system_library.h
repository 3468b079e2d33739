#pragma once
// DLLs the service loads at run time come from the system directory by their
// full path: the default search would look beside the executable first.
#include <windows.h>

namespace platform::win32 {

// Null, with the last error set, when the DLL cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace platform::win32
