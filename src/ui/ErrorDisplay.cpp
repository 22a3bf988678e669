#include "ui/ErrorDisplay.h"

#include "ui/AppTitle.h"

#include <QApplication>
#include <QMessageBox>

#include <stdexcept>

void ShowException(const QString &Text)
{
    QMessageBox box(
        QMessageBox::Critical, AppTitle(), Text, QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("GeneralErrorDisplay"));
    box.exec();
}

void ShowException(const std::exception_ptr &Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception &e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
}
