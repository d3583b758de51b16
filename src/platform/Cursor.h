#pragma once

namespace tolvane {

enum class CursorShape { Default, Hourglass, AppStarting };

// The screen cursor of the application.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual CursorShape Current() = 0;
  virtual void Set(CursorShape shape) = 0;
};

// Shows a shape for the life of the object, then puts back the one that was showing.
class ScopedCursor {
 public:
  ScopedCursor(Cursor& cursor, CursorShape shape) : cursor_(cursor), saved_(cursor.Current()) {
    cursor_.Set(shape);
  }
  ~ScopedCursor() { cursor_.Set(saved_); }
  ScopedCursor(const ScopedCursor&) = delete;
  ScopedCursor& operator=(const ScopedCursor&) = delete;

 private:
  Cursor& cursor_;
  CursorShape saved_;
};

}  // namespace tolvane
