#include "ui/PlainMessage.h"

#include <QMessageBox>

void ShowPlainMessage(
    QWidget *Parent, const QString &Text, const QString &Name, const QString &Title)
{
    QMessageBox box(QMessageBox::NoIcon, Title, Text, QMessageBox::Ok, Parent);
    box.setObjectName(Name);
    box.exec();
}
