#pragma once

#include <QByteArray>
#include <QFile>

#include <malloc.h>

// Peak memory of this process, from the kernel's own counters.
struct PeakMemory
{
    // Hands freed memory back, then starts the peak afresh at the current size; false where the
    // kernel does not offer it (the peak is then not measurable).
    static bool Reset()
    {
        malloc_trim(0);
        QFile refs(QStringLiteral("/proc/self/clear_refs"));
        return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
    }
    // VmRSS or VmHWM in bytes; -1 when unreadable.
    static qint64 Status(const char *Key)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray key = QByteArray(Key) + ':';
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
        return -1;
    }
    static qint64 Rss() { return Status("VmRSS"); }
    static qint64 Peak() { return Status("VmHWM"); }
};
