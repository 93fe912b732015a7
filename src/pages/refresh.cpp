#include "app/main_window.h"
#include "pages/pages.h"

namespace {

// Sets the window's refreshing flag for its lifetime and restores the previous value after,
// also when a page's refresh throws.
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

}  // namespace

void MainWindow::refreshPages() {
  const RefreshingScope scope(refreshing);
  refreshOutputPage(*this);
  refreshFontsPage(*this);
}
