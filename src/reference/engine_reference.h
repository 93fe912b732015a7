#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace tbp {

// The embedded engine reference as HTML and as plain text; both empty when it cannot be read.
struct ReferenceText {
  QString html;
  QString text;
};

ReferenceText buildReferenceText();

// Builds the "Utility functions & engine reference" dialog for a port's manifest text (empty
// when the port has none) without showing it. The caller owns the dialog.
QDialog* createEngineReference(QWidget* parent, const QString& manifestText);

// Shows the dialog modally and returns when it closes. With TBP_LIBSHOT set it saves a picture
// of itself to that path instead and closes at once.
void openEngineReference(QWidget* parent, const QString& manifestText);

}  // namespace tbp
