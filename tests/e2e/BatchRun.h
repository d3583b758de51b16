#pragma once

#include <string>
#include <vector>

namespace tolvane::test {

// Copies the real program into folder (its own folder is where it keeps its files) and runs it
// there with the arguments, without any display. Returns the exit code, or -1 when it could
// not be run or did not end by itself.
// standardError, when given, receives what the program wrote there; prefix runs it through
// another program first (setpriv, to run it as an ordinary user).
int RunTolvaneIn(const std::string& folder, const std::vector<std::string>& args,
                 std::string* standardError = nullptr, const std::vector<std::string>& prefix = {});

}  // namespace tolvane::test
