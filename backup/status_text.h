#pragma once
// The texts an administrator reads: the "/STATUS" report and the "/HELP"
// summary of the switches.
#include <string>

#include "backup/status_report.h"

namespace backup {

// Lines ended by "\n"; one fact per line, "Name: value", so that the report
// can be read by eye and searched by tools.
std::wstring RenderStatus(const StatusReportFacts& facts);

std::wstring HelpText();

}  // namespace backup
