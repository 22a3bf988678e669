#pragma once

#include "upload/IUploadObserver.h"

#include <QObject>

#include <atomic>
#include <functional>

// Carries the upload's reports from its worker thread to the thread this object lives in (the
// window's): the display through queued signals, the questions and messages through the
// handlers below, which run on this object's thread while the worker waits for their answer.
// Called from this object's own thread, everything runs directly.
class UploadObserverBridge : public QObject, public IUploadObserver
{
    Q_OBJECT
public:
    explicit UploadObserverBridge(QObject *parent = nullptr);
    ~UploadObserverBridge() override;

    // Run on this object's thread; unset handlers answer OK / No.
    std::function<void(const QString &Text)> OnShowMessage;
    std::function<bool(const QString &Question)> OnAskWebRoute;
    std::function<void(const QString &Text)> OnShowError;

    void SetMessage(const QString &Text) override { emit messageChanged(Text); }
    void SetSpeed(const QString &Text) override { emit speedChanged(Text); }
    void SetTimeLeft(const QString &Text) override { emit timeLeftChanged(Text); }
    void SetExceptionText(const QString &Text) override { emit exceptionTextChanged(Text); }
    void FileGauge(std::int64_t Max, std::int64_t Progress) override
    {
        emit fileGaugeChanged(Max, Progress);
    }
    void TotalGauge(int Max, int Progress) override { emit totalGaugeChanged(Max, Progress); }
    void SetCancelEnabled(bool Enabled) override { emit cancelEnabledChanged(Enabled); }
    void OpenBrowser(const QByteArray &Address) override { emit browserRequested(Address); }

    void ShowMessage(const QString &Text) override;
    bool AskWebRoute(const QString &Question) override;
    void ShowError(const QString &Text) override;
    void Release() override { m_released = true; }

signals:
    void messageChanged(const QString &Text);
    void speedChanged(const QString &Text);
    void timeLeftChanged(const QString &Text);
    void exceptionTextChanged(const QString &Text);
    void fileGaugeChanged(qint64 Max, qint64 Progress);
    void totalGaugeChanged(int Max, int Progress);
    void cancelEnabledChanged(bool Enabled);
    void browserRequested(const QByteArray &Address);

private:
    // Runs Work on this object's thread and waits for it, unless released meanwhile.
    bool callAndWait(const std::function<bool()> &Work, bool Fallback);

    std::atomic<bool> m_released {false};
};
