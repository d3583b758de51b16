#include "platform/FileSystem.h"

namespace tolvane {
namespace {

class AppendEachTime : public AppendFile {
 public:
  AppendEachTime(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  bool Append(const std::string& content) override { return fs_.AppendToFile(path_, content); }

 private:
  FileSystem& fs_;
  std::string path_;
};

}  // namespace

std::unique_ptr<AppendFile> FileSystem::OpenForAppend(const std::string& path) {
  return std::make_unique<AppendEachTime>(*this, path);
}

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
