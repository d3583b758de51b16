#include "e2e/BatchRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace tolvane::test {

int RunTolvaneIn(const std::string& folder, const std::vector<std::string>& args,
                 const RunOptions& options) {
  const char* binary = TOLVANE_BINARY_PATH;
  const std::string program = folder + "/tolvane";
  std::filesystem::copy_file(binary, program, std::filesystem::copy_options::overwrite_existing);

  std::vector<std::string> dropped{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  dropped.insert(dropped.end(), options.unsetEnv.begin(), options.unsetEnv.end());
  for (const std::string& var : options.setEnv) dropped.push_back(var.substr(0, var.find('=')));
  std::vector<std::string> env = options.setEnv;
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    const std::string name = var.substr(0, var.find('='));
    // No display of any kind: batch mode must not need one.
    if (std::find(dropped.begin(), dropped.end(), name) == dropped.end()) env.push_back(var);
  }
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStore{"timeout", "60"};
  if (options.asOrdinaryUser) {
    argStore.insert(argStore.end(),
                    {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  }
  argStore.push_back(program);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = options.stdoutPath.empty() ? "/dev/null" : options.stdoutPath;
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string err = options.stderrPath.empty() ? "/dev/null" : options.stderrPath;
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid;
  const std::string oldCwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const int spawned = posix_spawnp(&pid, "timeout", &actions, nullptr, argv.data(), envp.data());
  std::filesystem::current_path(oldCwd);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  return code == 124 ? -1 : code;  // 124: timeout had to end it
}

}  // namespace tolvane::test
