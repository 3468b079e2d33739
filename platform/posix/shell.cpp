// platform/shell.h on posix_spawn.
// Starts a program with posix_spawn; a detached reaper collects its status
// so finished programs leave no zombies behind.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <thread>
#include <vector>

#include "core/utf.h"
#include "platform/posix/backend.h"
#include "platform/posix/base_services.h"

extern char** environ;

namespace platform::posix {
namespace {

std::vector<std::string> SplitParameters(const std::string& parameters) {
  std::vector<std::string> words;
  std::istringstream stream(parameters);
  std::string word;
  while (stream >> word) words.push_back(word);
  return words;
}

}  // namespace

core::Status PosixShell::start_hidden(const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory) {
  const std::string program = core::ToUtf8(file);
  std::vector<std::string> words = SplitParameters(core::ToUtf8(parameters));
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string dir = core::ToUtf8(directory);
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return core::Status::SystemError(errno_to_win32(rc));
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return core::Status::Ok();
}

}  // namespace platform::posix
