#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class TfrmLogin;
}

// The login window: a member logs in with id and password, which the service's web server
// checks, or orders as a guest. exec() answers OK 1 (then UserID is the member id or "guest",
// never empty) or Cancel 2 (Escape, the close box). The last member id can be kept in the
// settings file.
class TfrmLogin : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmLogin(QWidget *Owner = nullptr);
    ~TfrmLogin() override;

    QString ConfigPath;
    QString UserID;

    void FormCreate();
    void FormShow();
    void btnLoginClick();
    void btnGuestClick();
    // Key handlers: true when the key was taken.
    bool edtIDKeyDown(int Key);
    bool edtPWKeyDown(int Key);
    bool FormKeyDown(int Key);

    // True exactly when the service answers the two letters "OK". The request runs on a worker
    // thread while this window takes no input; a failed request throws HttpError.
    bool CheckLogin(const QString &Id, const QString &Password);
    QString ReadSavedUserID();
    void SaveUserID(const QString &Id);

    bool Busy() const { return m_busy; }

    void reject() override;

protected:
    void showEvent(QShowEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    std::unique_ptr<Ui::TfrmLogin> ui;
    bool m_busy = false;
};

// The text without leading and trailing blanks and control characters (anything up to U+0020).
QString TrimControls(const QString &Text);

// The login request's address: each value percent-encoded, so that "&", "#" or "+" in a
// password stay part of it.
QString LoginAddress(const QString &Id, const QString &Password);
