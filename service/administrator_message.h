#pragma once
// A message for whoever ran the program, where that person can see it.
#include <string>

#include "platform/dialogs.h"

namespace service {

// A box at a visible desktop. Without one (a service, a deployment tool
// in session 0) nobody could close a box: the text goes to standard error,
// and an error also to the event log under the executable's file name.
void TellAdministrator(const std::wstring& caption, const std::wstring& text, platform::DialogIcon icon);

}  // namespace service
