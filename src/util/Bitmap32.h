#pragma once

#include <QImage>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

// A 32-bit picture (ARGB32) with a re-entrant lock of its own and a change notification.
// Loaders draw into it on worker threads while holding the lock; readers on other threads take
// the same lock (or use Snapshot()) so that nobody sees a half-drawn picture. changed() is
// emitted on the drawing thread and so reaches receivers in the GUI thread queued.
//
// Shared ownership: whoever shows the picture and every load that draws into it hold a
// std::shared_ptr, so no load outlives its bitmap. Create() gives one that is deleted in its
// own thread even when the last owner is a worker.
class Bitmap32 : public QObject
{
    Q_OBJECT
public:
    static std::shared_ptr<Bitmap32> Create();

    explicit Bitmap32(QObject *parent = nullptr);

    void Lock() const { m_lock.lock(); }
    void Unlock() const { m_lock.unlock(); }
    bool TryLock(int TimeoutMs = 0) const { return m_lock.tryLock(TimeoutMs); }

    // These take the lock themselves (it is re-entrant, so they may also run inside Lock()).
    void SetSize(int Width, int Height);
    void Clear(QRgb Color);
    int Width() const;
    int Height() const;
    QImage Snapshot() const;

    // Direct access to the pixels: hold the lock around any use of it.
    QImage &Image() { return m_image; }
    const QImage &Image() const { return m_image; }

    // Binding: every new photo bound to this bitmap gets a new token; a detached load that
    // finds another token current when it is about to draw leaves the picture alone, so the
    // bitmap shows the photo bound last.
    std::uint64_t Bind(const QString &FileName);
    std::uint64_t CurrentBinding() const { return m_binding.load(std::memory_order_acquire); }
    QString BoundFileName() const;

    // Raises the change notification.
    void NotifyChanged() { emit changed(); }

signals:
    void changed();

private:
    mutable QRecursiveMutex m_lock;
    QImage m_image;
    std::atomic<std::uint64_t> m_binding{0};
    QString m_boundFile; // guarded by m_lock
};

// RAII guard for Bitmap32's lock.
class Bitmap32Locker
{
public:
    explicit Bitmap32Locker(const Bitmap32 &b) : m_b(b) { m_b.Lock(); }
    ~Bitmap32Locker() { m_b.Unlock(); }
    Bitmap32Locker(const Bitmap32Locker &) = delete;
    Bitmap32Locker &operator=(const Bitmap32Locker &) = delete;

private:
    const Bitmap32 &m_b;
};
