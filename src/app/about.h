#pragma once

class QDialog;
class QWidget;

namespace tbp {

// The About box's label is 460 pixels wide, or narrower on a small screen: the screen's
// available width less 80, so that the box keeps a margin.
int aboutLabelMinimumWidth(int availableScreenWidth);

// Builds the About box, parented to the main window; the caller runs it. Its banner starts
// playing, with sound, 300 ms after the box is built.
QDialog* buildAboutDialog(QWidget* window);

}  // namespace tbp
