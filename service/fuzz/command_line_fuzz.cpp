// Feeds arbitrary command lines to the split into arguments and to
// HasSwitch, and checks what they promise rather than only that they do not
// crash. The input is a switch name, a line feed, then the whole command
// line (program first).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/process_info.h"
#include "service/service_application.h"
#include "tests/support/fuzz_text.h"
#include "event_loop/application.h"

namespace {

using testing_support::Violation;

class ProcessWithCommandLine : public platform::ProcessInfo {
 public:
  std::wstring line;
  std::wstring command_line() override { return line; }
  std::wstring executable_path() override { return L"C:\\TAV\\SrvBackupVostrani.exe"; }
  void set_priority_class(platform::PriorityClass) override {}
  void sleep_ms(uint32_t) override {}
};

ProcessWithCommandLine process;

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; }
wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

std::wstring Mapped(std::wstring text, wchar_t (*map)(wchar_t)) {
  for (wchar_t& c : text) c = map(c);
  return text;
}

// Every other letter upper, the rest lower: a case no one types.
std::wstring Mixed(std::wstring text) {
  for (size_t i = 0; i < text.size(); ++i) text[i] = i % 2 ? AsciiLower(text[i]) : AsciiUpper(text[i]);
  return text;
}

// What the split must keep: every character but the quotes and the blanks
// and control characters outside quotes, in order.
std::wstring KeptCharacters(const std::wstring& line) {
  std::wstring kept;
  bool quoted = false;
  for (wchar_t c : line) {
    if (c == L'"') quoted = !quoted;
    else if (quoted || c > L' ') kept += c;
  }
  return kept;
}

std::wstring Quoted(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const auto& a : arguments) line += L"\"" + a + L"\" ";
  return line;
}

std::wstring Joined(const std::vector<std::wstring>& arguments) {
  std::wstring all;
  for (const auto& a : arguments) all += a;
  return all;
}

void CheckSplit(const std::wstring& line, const std::vector<std::wstring>& arguments) {
  for (const auto& a : arguments)
    if (a.find(L'"') != std::wstring::npos) Violation("an argument holds a grouping quote", line, a);
  if (Joined(arguments) != KeptCharacters(line))
    Violation("the split lost, added or reordered characters", line, Joined(arguments));
  if (service::CommandLineArguments(Quoted(arguments)) != arguments)
    Violation("the arguments, quoted and joined, split differently", line, Quoted(arguments));
}

bool IsSwitchFor(const std::wstring& argument, const std::wstring& name) {
  return argument.size() == name.size() + 1 && (argument[0] == L'-' || argument[0] == L'/') &&
         Mapped(argument.substr(1), AsciiUpper) == Mapped(name, AsciiUpper);
}

bool SwitchAmongArguments(const std::vector<std::wstring>& arguments, const std::wstring& name) {
  for (size_t i = 1; i < arguments.size(); ++i)
    if (IsSwitchFor(arguments[i], name)) return true;
  return false;
}

void CheckSwitch(const service::TServiceApplication& app, const std::vector<std::wstring>& arguments,
                 const std::wstring& name) {
  const bool expected = SwitchAmongArguments(arguments, name);
  for (const std::wstring& spelling : {name, Mapped(name, AsciiUpper), Mapped(name, AsciiLower), Mixed(name)})
    if (app.HasSwitch(spelling) != expected)
      Violation(expected ? "HasSwitch missed a switch among the arguments" : "HasSwitch found a switch that is no argument",
                process.line, spelling);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::install_default_host();
  platform::host().process = &process;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* at = data;
  const uint8_t* const end = data + size;
  const std::wstring name = testing_support::WideText(at, end, '\n');
  if (at < end) ++at;
  process.line = testing_support::WideText(at, end);

  const std::vector<std::wstring> arguments = service::CommandLineArguments(process.line);
  CheckSplit(process.line, arguments);

  event_loop::TApplication application;
  service::TServiceApplication app(application);
  CheckSwitch(app, arguments, name);
  for (const wchar_t* known : {L"INSTALL", L"UNINSTALL", L"SILENT", L"STATUS", L"HELP", L"?"})
    CheckSwitch(app, arguments, known);
  // Each argument without its first character as a name, so that switches
  // of any spelling get checked (a few suffice: each check splits again).
  for (size_t i = 0; i < arguments.size() && i < 8; ++i)
    if (!arguments[i].empty()) CheckSwitch(app, arguments, arguments[i].substr(1));
  return 0;
}
