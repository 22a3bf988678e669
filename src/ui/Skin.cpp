#include "ui/Skin.h"

#include "ui/Icons.h"

#include <QApplication>
#include <QFile>
#include <QStyleFactory>

void ApplySkin(QApplication &App)
{
    InitResources();
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        App.setStyle(fusion);
    QFile sheet(QStringLiteral(":/skin/office2007-blue.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        App.setStyleSheet(QString::fromUtf8(sheet.readAll()));
}
