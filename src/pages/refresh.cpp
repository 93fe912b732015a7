#include <QCheckBox>

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
  refreshSwitchBoxes(*this);
  refreshSplashPage(*this);
  refreshOutputPage(*this);
}

// Every switch box, on whichever page it sits, is ticked exactly when its bit is set.
void refreshSwitchBoxes(MainWindow& window) {
  const std::uint32_t flags = window.portImage.flags();
  for (const auto& [bit, box] : window.switchBoxes) box->setChecked((flags >> bit & 1u) != 0);
}
