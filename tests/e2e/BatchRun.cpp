#include "e2e/BatchRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace tolvane::test {

int RunTolvaneIn(const std::string& folder, const std::vector<std::string>& args,
                 std::string* standardError, const std::vector<std::string>& prefix) {
  const char* binary = TOLVANE_BINARY_PATH;
  const std::string program = folder + "/tolvane";
  std::filesystem::copy_file(binary, program, std::filesystem::copy_options::overwrite_existing);

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    // No display of any kind: batch mode must not need one.
    if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        var.rfind("QT_QPA_PLATFORM=", 0) == 0) {
      continue;
    }
    env.push_back(var);
  }
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStore{"timeout", "60"};
  argStore.insert(argStore.end(), prefix.begin(), prefix.end());
  argStore.push_back(program);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const std::string errorPath = folder + ".stderr";
  posix_spawn_file_actions_addopen(&actions, 2, standardError ? errorPath.c_str() : "/dev/null",
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  const std::string oldCwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const int spawned = posix_spawnp(&pid, "timeout", &actions, nullptr, argv.data(), envp.data());
  std::filesystem::current_path(oldCwd);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  const bool waited = waitpid(pid, &status, 0) >= 0;
  if (standardError) {
    std::ifstream in(errorPath, std::ios::binary);
    standardError->assign(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(errorPath);
  }
  if (!waited || !WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  return code == 124 ? -1 : code;  // 124: timeout had to end it
}

}  // namespace tolvane::test
