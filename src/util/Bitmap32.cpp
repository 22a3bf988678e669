#include "util/Bitmap32.h"

#include <QThread>

std::shared_ptr<Bitmap32> Bitmap32::Create()
{
    return std::shared_ptr<Bitmap32>(new Bitmap32, [](Bitmap32 *b) {
        // A QObject is deleted in its own thread; the last owner may be a loader.
        if (b->thread() == QThread::currentThread())
            delete b;
        else
            b->deleteLater();
    });
}

Bitmap32::Bitmap32(QObject *parent)
    : QObject(parent)
{
}

void Bitmap32::SetSize(int Width, int Height)
{
    Bitmap32Locker lock(*this);
    if (m_image.width() == Width && m_image.height() == Height
        && m_image.format() == QImage::Format_ARGB32)
        return;
    m_image = QImage(Width, Height, QImage::Format_ARGB32);
}

void Bitmap32::Clear(QRgb Color)
{
    Bitmap32Locker lock(*this);
    m_image.fill(Color);
}

int Bitmap32::Width() const
{
    Bitmap32Locker lock(*this);
    return m_image.width();
}

int Bitmap32::Height() const
{
    Bitmap32Locker lock(*this);
    return m_image.height();
}

QImage Bitmap32::Snapshot() const
{
    Bitmap32Locker lock(*this);
    // A deep copy: the caller may keep it after the lock is gone while a loader draws.
    return m_image.copy();
}

std::uint64_t Bitmap32::Bind(const QString &FileName)
{
    Bitmap32Locker lock(*this);
    m_boundFile = FileName;
    return m_binding.fetch_add(1, std::memory_order_acq_rel) + 1;
}

QString Bitmap32::BoundFileName() const
{
    Bitmap32Locker lock(*this);
    return m_boundFile;
}
