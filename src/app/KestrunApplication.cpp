#include "app/KestrunApplication.h"
#include "app/Version.h"

#include "app/AppTitle.h"
#include "app/Icons.h"
#include "app/SmokeCheck.h"

#include <QMessageBox>

#include <stdexcept>

KestrunApplication::KestrunApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("KestrunBrimvale"));
    setApplicationVersion(QStringLiteral(KB_VERSION));
    // The desktop entry's name: Wayland matches windows to their entry (and icon) by it.
    setDesktopFileName(QStringLiteral("kestrun-brimvale"));
    InitResources();
    setWindowIcon(QIcon(QStringLiteral(":/app/kestrun-brimvale.svg")));
    SmokeCheck::InstallIfRequested(*this);
}

bool KestrunApplication::notify(QObject *Receiver, QEvent *Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ShowException(std::current_exception());
    }
    return false;
}

void KestrunApplication::ShowException(const QString &Text)
{
    QMessageBox box(
        QMessageBox::Critical, AppTitle(), Text, QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("GeneralErrorDisplay"));
    box.exec();
}

void KestrunApplication::ShowException(const std::exception_ptr &Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception &e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
}
