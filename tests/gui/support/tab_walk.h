#pragma once

#include <QApplication>
#include <QList>
#include <QTest>
#include <QWidget>

// The widgets that take the focus as a user presses Tab, starting at first: count of them,
// first included. The window holding first must be shown and active.
inline QList<QWidget*> tabWalk(QWidget* first, qsizetype count) {
  first->setFocus();
  QList<QWidget*> visited{QApplication::focusWidget()};
  while (visited.size() < count) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget();
  }
  return visited;
}
