#include "app/SmokeCheck.h"

#include "app/LoginFrm.h"
#include "app/MainFrm.h"
#include "app/SettingsFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace SmokeCheck {
namespace {

    class Watcher : public QObject
    {
    public:
        Watcher(QApplication &App, int ExitMs, QString Login)
            : QObject(&App)
            , m_exitMs(ExitMs)
            , m_login(std::move(Login))
        { }

    protected:
        bool eventFilter(QObject *Watched, QEvent *Event) override
        {
            if (Event->type() != QEvent::Show)
                return false;
            if (auto *login = qobject_cast<TfrmLogin *>(Watched); login && !m_login.isEmpty()) {
                QTimer::singleShot(0, login, [login, account = m_login] { logIn(login, account); });
                m_login.clear();
            } else if (auto *main = qobject_cast<TfrmMain *>(Watched); main && !m_mainShown) {
                m_mainShown = true;
                QTimer::singleShot(0, main, [main] { report(main); });
                QTimer::singleShot(m_exitMs, main, [main] { main->close(); });
            }
            return false;
        }

    private:
        static void logIn(TfrmLogin *Login, const QString &Account)
        {
            auto *id = Login->findChild<QLineEdit *>(QStringLiteral("edtID"));
            auto *password = Login->findChild<QLineEdit *>(QStringLiteral("edtPW"));
            auto *save = Login->findChild<QCheckBox *>(QStringLiteral("cbSave"));
            auto *send = Login->findChild<QAbstractButton *>(QStringLiteral("btnLogin"));
            if (!id || !password || !save || !send) {
                std::fprintf(stderr, "smoke: the login window lacks its fields\n");
                std::fflush(stderr);
                return;
            }
            id->setText(Account.section(u':', 0, 0));
            password->setText(Account.section(u':', 1));
            save->setChecked(true);
            send->click();
        }

        static void report(TfrmMain *Main)
        {
            const bool windowIcon = !Main->windowIcon().pixmap(48).isNull();
            int withIcon = 0;
            int rendered = 0;
            for (QToolButton *button : Main->findChildren<QToolButton *>()) {
                if (button->icon().isNull())
                    continue;
                ++withIcon;
                if (!button->icon().pixmap(24).isNull())
                    ++rendered;
            }
            const bool skin = !qApp->styleSheet().isEmpty();
            const QString line = QStringLiteral(
                "smoke: main window shown user=%1 window-icon=%2 toolbar-icons=%3/%4 "
                "skin=%5 settings=%6\n")
                                     .arg(Main->UserID, windowIcon ? u"ok" : u"missing")
                                     .arg(rendered)
                                     .arg(withIcon)
                                     .arg(skin ? u"ok" : u"missing", ConfigPath());
            std::fputs(line.toLocal8Bit().constData(), stdout);
            std::fflush(stdout);
        }

        int m_exitMs;
        QString m_login;
        bool m_mainShown = false;
    };

} // namespace

void InstallIfRequested(QApplication &App)
{
    bool ok = false;
    const int exitMs = qEnvironmentVariableIntValue("KESTRUN_SMOKE_EXIT", &ok);
    if (!ok || exitMs < 0)
        return;
    App.installEventFilter(new Watcher(App, exitMs, qEnvironmentVariable("KESTRUN_SMOKE_LOGIN")));
}

} // namespace SmokeCheck
