#include "ui/FixedDialog.h"

#include <QDialog>

void MakeFixedDialog(QDialog &Dialog, int Width, int Height, const QFont &Font)
{
    Dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    Dialog.setFixedSize(Width, Height);
    Dialog.setFont(Font);
}
