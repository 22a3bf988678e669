#include "app/KestrunApplication.h"
#include "app/Version.h"

#include "app/SmokeCheck.h"
#include "ui/ErrorDisplay.h"
#include "ui/Icons.h"

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
