#include "platform/FileSystem.h"

namespace tolvane {

CopyResult FileSystem::CopyFileWithProgress(const std::string& source, const std::string& target,
                                            bool failIfExists, const CopyProgress& progress) {
  CopyResult result;
  result.ok = CopyFile(source, target, failIfExists);
  if (!result.ok) return result;
  // The size, from a search for the file itself: a name holding wildcards may find others.
  const std::size_t sep = source.find_last_of("\\/");
  const std::string name = sep == std::string::npos ? source : source.substr(sep + 1);
  for (const FindEntry& e : Find(source)) {
    if (e.name == name) result.bytes = e.size;
  }
  if (progress) progress(result.bytes, result.bytes);
  return result;
}

}  // namespace tolvane
