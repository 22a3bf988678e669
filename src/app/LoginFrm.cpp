#include "app/LoginFrm.h"
#include "ui_LoginFrm.h"

#include "app/SettingsFile.h"
#include "ui/AppFonts.h"
#include "ui/AppTitle.h"
#include "ui/ErrorDisplay.h"
#include "ui/FixedDialog.h"
#include "ui/ModalResult.h"
#include "ui/PlainMessage.h"
#include "util/ControlCharacters.h"
#include "util/Cp949.h"
#include "util/HttpClient.h"
#include "util/ServiceConfig.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

using namespace ModalResult;

namespace {

// The answer is "OK" or a short refusal.
constexpr qint64 LoginAnswerLimit = 4096;

struct LoginAnswer
{
    QByteArray Body;
    QString Error;
};

} // namespace

QString TrimControls(const QString &Text)
{
    qsizetype first = 0;
    qsizetype last = Text.size();
    while (first < last && Text[first].unicode() <= u' ')
        ++first;
    while (last > first && Text[last - 1].unicode() <= u' ')
        --last;
    return Text.mid(first, last - first);
}

QString LoginAddress(const QString &Id, const QString &Password)
{
    // The service compares ids and passwords as CP949 bytes, like every text it receives.
    return ServiceConfig::WebAddress(
        QStringLiteral("/app_login.php?userid=%1&pass=%2")
            .arg(QString::fromLatin1(toCp949(Id).toPercentEncoding()),
                QString::fromLatin1(toCp949(Password).toPercentEncoding())));
}

TfrmLogin::TfrmLogin(QWidget *Owner)
    : QDialog(Owner)
    , ui(std::make_unique<Ui::TfrmLogin>())
{
    ui->setupUi(this);
    MakeFixedDialog(*this, 282, 120, GulimFont(12));

    // The window sees every key before its controls do.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);

    connect(ui->btnLogin, &QPushButton::clicked, this,
        [this] { RunHandler([this] { btnLoginClick(); }); });
    connect(ui->btnGuest, &QPushButton::clicked, this,
        [this] { RunHandler([this] { btnGuestClick(); }); });
    FormCreate();
}

TfrmLogin::~TfrmLogin() { }

void TfrmLogin::FormCreate()
{
    ConfigPath = ::ConfigPath();
    UserID.clear();
}

void TfrmLogin::showEvent(QShowEvent *Event)
{
    QDialog::showEvent(Event);
    if (Event->spontaneous())
        return;
    // It comes up before the main window exists on screen: centred on the screen.
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    try {
        FormShow();
    } catch (...) {
        // The window comes up with empty fields; the error shows once it is there.
        ui->edtID->setFocus();
        QMetaObject::invokeMethod(
            this, [error = std::current_exception()] { ShowException(error); },
            Qt::QueuedConnection);
    }
}

void TfrmLogin::FormShow()
{
    const QString id = ReadSavedUserID();
    if (!id.isEmpty()) {
        ui->edtID->setText(id);
        ui->cbSave->setChecked(true);
        ui->edtPW->setFocus();
    } else {
        ui->edtID->setFocus();
    }
}

QString TfrmLogin::ReadSavedUserID()
{
    return ::ReadSavedUserID(ConfigPath);
}

void TfrmLogin::SaveUserID(const QString &Id)
{
    ::SaveUserID(ConfigPath, Id);
}

void TfrmLogin::btnLoginClick()
{
    if (m_busy)
        return;
    const QString id = TrimControls(ui->edtID->text());
    const QString password = TrimControls(ui->edtPW->text());
    if (id.isEmpty()) {
        ui->edtID->setFocus();
        return;
    }
    if (password.isEmpty()) {
        ui->edtPW->setFocus();
        return;
    }
    // The id names the customer's folders on the upload host.
    if (HasControlCharacter(id)) {
        ShowPlainMessage(
            this, ControlTexts::UserIDRefused, QStringLiteral("UserIDRefused"), AppTitle());
        ui->edtID->setFocus();
        return;
    }
    // A letter CP949 cannot hold would travel as "?" and the login fail without a reason.
    QString unheld;
    toCp949(id + password, &unheld);
    if (!unheld.isEmpty()) {
        ShowPlainMessage(this,
            QStringLiteral("아이디나 패스워드에 보낼 수 없는 문자가 있습니다: %1").arg(unheld),
            QStringLiteral("LoginUnsendable"), AppTitle());
        ui->edtPW->setFocus();
        return;
    }
    if (!CheckLogin(id, password)) {
        ShowPlainMessage(this, QStringLiteral("아이디 또는 패스워드 를 찾을 수 없습니다."),
            QStringLiteral("LoginRefused"), AppTitle());
        ui->edtID->setFocus();
        return;
    }
    // Saved first: when the file cannot be written the login is not finished.
    if (ui->cbSave->isChecked())
        SaveUserID(id);
    UserID = id;
    done(mrOk);
}

void TfrmLogin::btnGuestClick()
{
    if (m_busy)
        return;
    UserID = QStringLiteral("guest");
    done(mrOk);
}

bool TfrmLogin::CheckLogin(const QString &Id, const QString &Password)
{
    const QString address = LoginAddress(Id, Password);
    auto future = QtConcurrent::run([address] {
        LoginAnswer answer;
        try {
            HttpClient http;
            http.SetAccept("text/html, */*");
            http.SetUserAgent("Mozilla/3.0 (compatible; Indy Library)");
            http.SetBodyLimit(LoginAnswerLimit);
            // As bytes: a QUrl would take the CP949 escapes for broken UTF-8 and replace them.
            answer.Body = http.GetOrThrow(address.toLatin1());
        } catch (const std::exception &e) {
            answer.Error = QString::fromUtf8(e.what());
        }
        return answer;
    });

    // The window stays painted but takes no input until the answer is in.
    QWidget *focus = focusWidget();
    m_busy = true;
    setEnabled(false);
    setCursor(Qt::WaitCursor);
    QFutureWatcher<LoginAnswer> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<LoginAnswer>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const LoginAnswer answer = future.result();
    unsetCursor();
    setEnabled(true);
    m_busy = false;
    if (focus)
        focus->setFocus();

    if (!answer.Error.isEmpty())
        throw HttpError(answer.Error);
    return answer.Body == "OK";
}

bool TfrmLogin::edtIDKeyDown(int Key)
{
    if (Key != Qt::Key_Return && Key != Qt::Key_Enter)
        return false;
    btnLoginClick();
    return true;
}

bool TfrmLogin::edtPWKeyDown(int Key)
{
    return edtIDKeyDown(Key);
}

bool TfrmLogin::FormKeyDown(int Key)
{
    if (Key != Qt::Key_Escape)
        return false;
    done(mrCancel);
    return true;
}

bool TfrmLogin::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Event->type() == QEvent::KeyPress && !m_busy) {
        const int key = static_cast<QKeyEvent *>(Event)->key();
        bool taken = false;
        RunHandler([&] {
            taken = FormKeyDown(key);
            if (!taken && Watched == ui->edtID)
                taken = edtIDKeyDown(key);
            else if (!taken && Watched == ui->edtPW)
                taken = edtPWKeyDown(key);
        });
        if (taken)
            return true;
    }
    return QDialog::eventFilter(Watched, Event);
}

void TfrmLogin::reject()
{
    if (!m_busy)
        done(mrCancel);
}

void TfrmLogin::closeEvent(QCloseEvent *Event)
{
    // No way out while the request runs; the close box answers Cancel otherwise.
    if (m_busy) {
        Event->ignore();
        return;
    }
    QDialog::closeEvent(Event);
}
