#pragma once

#include <QString>
#include <QStringList>

// The user id given when the program is started. Arguments are separated by blanks (any
// character up to the space); a double-quoted stretch may hold blanks and its quotes are
// dropped, also in the middle of an argument; an empty quoted argument counts as no argument.
// Only the first argument after the program is used; the rest is ignored.

// The argument at Index (0 = the program) of a whole command line, "" when there is none.
QString ParamStr(const QString &CommandLine, int Index);

// The user id from arguments already split by the platform (QCoreApplication::arguments(),
// program first): the first argument exactly as given, "" when there is none. An argument with
// a control character is no id: "" as well, and *Refused (when given) turns true.
QString CommandLineUserID(const QStringList &Arguments, bool *Refused = nullptr);
