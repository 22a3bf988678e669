#pragma once

class QApplication;

// The program's look: a blue, Office-2007-like style sheet on every window, over the Fusion
// style so that it looks the same on every desktop.
void ApplySkin(QApplication &App);
