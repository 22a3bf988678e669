#pragma once

#include <QFont>

class QDialog;

// A dialog frame of fixed size with a title and a close box, in Font: the frame of the
// program's small windows (login, notices).
void MakeFixedDialog(QDialog &Dialog, int Width, int Height, const QFont &Font);
