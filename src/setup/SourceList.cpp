#include "setup/SourceList.h"

namespace tolvane {

void SourceList::Append(SourceEntry entry) {
  const int row = Count();
  if (listener_) listener_->BeginInsert(row, row);
  entries_.push_back(std::move(entry));
  if (listener_) listener_->EndInsert();
}

void SourceList::RemoveAt(int index) {
  if (index < 0 || index >= Count()) return;
  if (listener_) listener_->BeginRemove(index, index);
  entries_.erase(entries_.begin() + index);
  if (listener_) listener_->EndRemove();
}

void SourceList::Clear() {
  if (entries_.empty()) return;
  if (listener_) listener_->BeginRemove(0, Count() - 1);
  entries_.clear();
  if (listener_) listener_->EndRemove();
}

}  // namespace tolvane
