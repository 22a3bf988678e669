#pragma once

class QAbstractButton;
class QDialog;
class QPushButton;

// Enter and Escape in a dialog: Enter presses the focused push button, or Ok while the focus is
// on any other control (a field, a check box, a view); Escape stays the dialog's reject(),
// which each window makes its Cancel.
void SetDialogKeys(QDialog &Dialog, QPushButton *Ok);

// Tab reaches a group of radio buttons at its checked one, as Qt arranges after a click; a
// button checked from code alone would leave Tab on the one checked before. Call after each
// check made from code.
void TabToChecked(QAbstractButton &Checked);

// Enter and Return press Button as Space does; a tool button takes only Space by itself.
void PressOnEnter(QAbstractButton &Button);
