#include "app/CommandLine.h"

#include "util/ControlCharacters.h"

namespace {

bool isBlank(QChar c)
{
    return c.unicode() <= u' ';
}

// Reads one argument starting at Pos (blanks before it skipped); Pos ends after it.
QString nextParam(const QString &Line, qsizetype &Pos)
{
    while (Pos < Line.size() && isBlank(Line[Pos]))
        ++Pos;
    QString param;
    bool quoted = false;
    while (Pos < Line.size()) {
        const QChar c = Line[Pos];
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && isBlank(c)) {
            break;
        } else {
            param += c;
        }
        ++Pos;
    }
    return param;
}

} // namespace

QString ParamStr(const QString &CommandLine, int Index)
{
    qsizetype pos = 0;
    QString param;
    for (int i = 0; i <= Index; ++i) {
        if (pos >= CommandLine.size())
            return QString();
        param = nextParam(CommandLine, pos);
    }
    return param;
}

QString CommandLineUserID(const QStringList &Arguments, bool *Refused)
{
    const QString id = Arguments.value(1);
    // It would reach the host's command line as it is.
    const bool refused = HasControlCharacter(id);
    if (Refused)
        *Refused = refused;
    return refused ? QString() : id;
}
