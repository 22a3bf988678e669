#include "app/AutoTest.h"
#include "app/CartPage.h"
#include "app/KestrunApplication.h"
#include "app/MainFrm.h"
#include "notices/NoticeWindows.h"
#include "ui/Skin.h"
#include "util/Platform.h"

#include <QGuiApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    // The web engine shares its GL contexts with the widgets and, as root, runs unsandboxed or
    // not at all.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (RunningAsAdministrator() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    KestrunApplication app(argc, argv);
    ApplySkin(app);

    TfrmMain frmMain(app.arguments());
    if (frmMain.UserID.isEmpty())
        return 0;
    CreateNoticeWindows(&frmMain);
    frmMain.show();
    if (!AutoTest::StartIfRequested(frmMain))
        return 3;
    // Once the window is up: a waiting list kept from a session that did not end is offered back.
    QTimer::singleShot(
        0, &frmMain, [&frmMain] { frmMain.Cart()->KeepWaitingList(frmMain.UserID); });
    return app.exec();
}
