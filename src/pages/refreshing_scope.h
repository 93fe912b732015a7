#pragma once

// Sets the window's refreshing flag for its lifetime and restores the previous value after,
// also when an update throws. While the flag is set the page handlers write nothing, so the
// controls can be redrawn from the port image without writing it back.
class RefreshingScope {
 public:
  explicit RefreshingScope(bool& flag) : flag(flag), previous(flag) { flag = true; }
  ~RefreshingScope() { flag = previous; }
  RefreshingScope(const RefreshingScope&) = delete;
  RefreshingScope& operator=(const RefreshingScope&) = delete;

 private:
  bool& flag;
  bool previous;
};
