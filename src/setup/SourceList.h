#pragma once

#include <string>
#include <vector>

namespace tolvane {

// One source entry: the path exactly as it was added, and the two display texts made once
// when it was added.
struct SourceEntry {
  std::string path;
  std::string dateText;
  std::string sizeText;
  // Kept from a loaded list although it could not be found: shown without date and size, and
  // tried (and failed with a log line) by a run.
  bool missing = false;

  friend bool operator==(const SourceEntry&, const SourceEntry&) = default;
};

// Told before and after every change, so that a view can keep its selection in step.
class SourceListListener {
 public:
  virtual ~SourceListListener() = default;
  virtual void BeginInsert(int first, int last) = 0;
  virtual void EndInsert() = 0;
  virtual void BeginRemove(int first, int last) = 0;
  virtual void EndRemove() = 0;
};

// The source entries in the order they were added; the same path may stand more than once.
class SourceList {
 public:
  void SetListener(SourceListListener* listener) { listener_ = listener; }

  int Count() const { return static_cast<int>(entries_.size()); }
  const SourceEntry& At(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
  const std::vector<SourceEntry>& Entries() const { return entries_; }

  void Append(SourceEntry entry);
  void RemoveAt(int index);
  void Clear();

 private:
  std::vector<SourceEntry> entries_;
  SourceListListener* listener_ = nullptr;
};

}  // namespace tolvane
