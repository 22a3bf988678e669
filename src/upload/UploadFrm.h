#pragma once

#include "upload/UploadObserverBridge.h"
#include "upload/UploadEngine.h"
#include "util/BrowserLaunch.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

namespace Ui {
class TfrmUpload;
}
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TOrder;

// The small modal window that sends an order. Half a second after it comes up it runs the
// upload on a worker thread and shows it live: step or file, average speed, the two gauges,
// the progress count. Its questions and error messages are modal boxes over it. It closes by
// itself when the upload ends; after an error it stays with its last texts until the user
// closes it with Cancel. Completed() tells the caller whether the order went through.
class TfrmUpload : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmUpload(QWidget *Owner = nullptr);
    ~TfrmUpload() override; // cancels a running upload and waits for its end

    // Set by the caller before showing: the order browser's orders (read only, not owned) and
    // the user's id. The upload takes its own copy of both when it begins.
    QList<TOrder *> Orders;
    QString UserID;

    // All photos sent, the cart-info file posted and the basket page opened.
    bool Completed() const { return m_completed; }
    // True while the upload runs on its thread.
    bool IsRunning() const { return m_engine.IsRunning(); }

    // The engine's addresses and limits; tests shorten them before showing.
    UploadSettings &Settings() { return m_settings; }

    void FormActivate();
    void TimerTimer();
    void btnCancelClick();

    // Opens the basket page: the command KESTRUN_BROWSER names, else a Chrome or Chromium on
    // PATH, else the desktop's browser (xdg-open, or Qt's desktop services). The address goes
    // as one argument, no shell. Not Started when no browser could be started.
    static LaunchResult OpenBasket(const QByteArray &Address);

    QLabel *lblMessage() const;
    QLabel *lblSpeed() const;
    QLabel *ExceptionLabel() const;
    QProgressBar *FileGauge() const;
    QProgressBar *TotalGauge() const;
    QPushButton *btnCancel() const;
    QTimer *Timer() const { return m_timer; }

    // Object names of the boxes the window shows (tests and accessibility tools find them).
    static constexpr const char *MessageBoxName = "UploadMessage";
    static constexpr const char *QuestionBoxName = "UploadQuestion";

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent *Event) override;
    void hideEvent(QHideEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;

private:
    void engineFinished(bool Ok);
    static void setGauge(QProgressBar *Gauge, qint64 Max, qint64 Progress);

    std::unique_ptr<Ui::TfrmUpload> ui;
    UploadObserverBridge m_bridge;
    UploadEngine m_engine;
    UploadSettings m_settings = UploadSettings::FromConfig();
    QTimer *m_timer;
    bool m_completed = false;
    bool m_activated = false;  // this showing has armed the timer
    bool m_cancelled = false;  // Cancel pressed: the outcome is "not completed"
    bool m_errorShown = false; // an error ended the upload: stay until the user closes
};
