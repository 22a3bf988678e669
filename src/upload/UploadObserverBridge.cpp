#include "upload/UploadObserverBridge.h"

#include <QMetaObject>
#include <QSemaphore>
#include <QThread>

#include <memory>

UploadObserverBridge::UploadObserverBridge(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<qint64>("qint64");
}

UploadObserverBridge::~UploadObserverBridge()
{
    m_released = true;
}

bool UploadObserverBridge::callAndWait(const std::function<bool()> &Work, bool Fallback)
{
    if (QThread::currentThread() == thread())
        return Work();
    struct Call
    {
        QSemaphore Done;
        bool Answer = false;
    };
    auto call = std::make_shared<Call>();
    call->Answer = Fallback;
    QMetaObject::invokeMethod(
        this,
        [this, call, Work] {
            if (!m_released)
                call->Answer = Work();
            call->Done.release();
        },
        Qt::QueuedConnection);
    // Polled, so that a window going away mid-question cannot leave the worker waiting.
    while (!call->Done.tryAcquire(1, 50)) {
        if (m_released)
            return Fallback;
    }
    return call->Answer;
}

void UploadObserverBridge::ShowMessage(const QString &Text)
{
    callAndWait(
        [this, Text] {
            if (OnShowMessage)
                OnShowMessage(Text);
            return true;
        },
        true);
}

bool UploadObserverBridge::AskWebRoute(const QString &Question)
{
    return callAndWait(
        [this, Question] { return OnAskWebRoute ? OnAskWebRoute(Question) : false; }, false);
}

void UploadObserverBridge::ShowError(const QString &Text)
{
    callAndWait(
        [this, Text] {
            if (OnShowError)
                OnShowError(Text);
            return true;
        },
        true);
}
