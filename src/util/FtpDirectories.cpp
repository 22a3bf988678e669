#include "util/FtpDirectories.h"

#include "util/Cp949.h"

#include <QStringList>

void MakeFtpDirectories(FtpClient &Client, const QString &Path)
{
    QStringList names = Path.split(u'/', Qt::KeepEmptyParts);
    // libcurl names folders by absolute paths, so "the current folder" is the path walked so far.
    QString current;
    if (!names.isEmpty() && names.first().isEmpty()) {
        names.removeFirst();
        current = QStringLiteral("/");
        if (!Client.ChangeDir(current))
            throw FtpError(Client.LastError());
    }
    for (const QString &name : std::as_const(names)) {
        if (name.count(u' ') == name.size())
            continue;
        QList<QByteArray> entries;
        if (!Client.List(current, entries))
            throw FtpError(Client.LastError());
        const QString next = current + name + u'/';
        if (!entries.contains(toCp949(name)) && !Client.MakeDir(current + name)) {
            // Refused: perhaps the folder is there under a name the listing did not give
            // exactly (a leading blank, a host that ignores letter case). Entering it tells.
            const QString refusal = Client.LastError();
            if (!Client.ChangeDir(next))
                throw FtpError(refusal);
        }
        if (!Client.ChangeDir(next))
            throw FtpError(Client.LastError());
        current = next;
    }
}
