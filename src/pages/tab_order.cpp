#include "pages/tab_order.h"

#include <vector>

#include <QLayout>
#include <QWidget>

namespace {

void collectFocusable(QLayout& layout, std::vector<QWidget*>& out) {
  for (int index = 0; index < layout.count(); ++index) {
    QLayoutItem* item = layout.itemAt(index);
    if (QLayout* nested = item->layout()) {
      collectFocusable(*nested, out);
    } else if (QWidget* widget = item->widget()) {
      if (widget->focusPolicy() & Qt::TabFocus)
        out.push_back(widget);
      else if (QLayout* inner = widget->layout())
        collectFocusable(*inner, out);
    }
  }
}

}  // namespace

void chainTabOrder(QLayout& layout) {
  std::vector<QWidget*> widgets;
  collectFocusable(layout, widgets);
  for (std::size_t index = 1; index < widgets.size(); ++index)
    QWidget::setTabOrder(widgets[index - 1], widgets[index]);
}
