#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Everything the upload shows or asks while it runs. The engine calls these on its worker
// thread; UploadObserverBridge carries them over to the window's thread.
class IUploadObserver
{
public:
    virtual ~IUploadObserver() = default;

    virtual void SetMessage(const QString &Text) = 0;       // lblMessage
    virtual void SetSpeed(const QString &Text) = 0;         // lblSpeed ("1,234")
    virtual void SetExceptionText(const QString &Text) = 0; // ExceptionLabel
    virtual void FileGauge(std::int64_t Max, std::int64_t Progress) = 0;
    virtual void TotalGauge(int Max, int Progress) = 0;
    virtual void SetCancelEnabled(bool Enabled) = 0; // btnCancel
    // "남은 시간 약 3분 20초": how long the rest of the upload takes at its pace so far.
    virtual void SetTimeLeft(const QString &Text) { Q_UNUSED(Text); }

    // These wait for the user.
    // "FTP Error : ..." / "HTTP Error : ..." in a box with an OK button.
    virtual void ShowMessage(const QString &Text) = 0;
    // The web-route question (caption "Confirm", Yes/No): true for Yes.
    virtual bool AskWebRoute(const QString &Question) = 0;
    // An error that ended the upload (the application's error display).
    virtual void ShowError(const QString &Text) = 0;

    // Opens the basket page; the address is bytes, its query values inserted as they are.
    virtual void OpenBrowser(const QByteArray &Address) = 0;

    // The upload is being torn down: a question or message still waiting for the user is
    // to return at once (the question as No).
    virtual void Release() {}
};
