#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes an executable shell script (a stand-in browser, a helper that fails on purpose):
// "#!/bin/sh", then Body. Returns Path, or "" when it cannot be written.
inline QString WriteShellScript(const QString &Path, const QByteArray &Body)
{
    QFile f(Path);
    if (!f.open(QIODevice::WriteOnly) || f.write("#!/bin/sh\n" + Body + "\n") < 0)
        return {};
    f.close();
    return f.setPermissions(f.permissions() | QFileDevice::ExeOwner) ? Path : QString();
}

// A stand-in browser that notes the address it is given (its first argument) in Log.
inline QString WriteBrowserLogger(const QString &Path, const QString &Log)
{
    return WriteShellScript(Path, "printf '%s\\n' \"$1\" >> \"" + Log.toUtf8() + "\"");
}
