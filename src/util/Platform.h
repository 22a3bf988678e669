#pragma once

// The few questions about the operating system that the program asks, in one place.

#include <QByteArray>
#include <QList>
#include <QString>

// True when the program runs with administrator rights (root on Unix), under which the web
// engine refuses its sandbox.
bool RunningAsAdministrator();

// The names, as stored, of the plain files (not hidden) in Folder whose names the program
// cannot represent: bytes that are not valid in the file system's encoding (UTF-8 here), such
// as a name written in CP949 on an older system. Qt's directory listing leaves them out
// silently; these are what it left out. Empty where every name can be represented.
QList<QByteArray> UnrepresentableFileNames(const QString &Folder);
