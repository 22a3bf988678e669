#pragma once

#include "util/TextError.h"

#include <QString>

#include <stdexcept>

// The settings file Kestrun.cfg: lines "name=value", of which only "UserID" is read and written.
// Every other line is kept byte for byte and in its place, whatever its encoding. The UserID
// value is written in UTF-8, the system's code page; a value that is not valid UTF-8 is read as
// CP949 (a file from an older version or a Korean Windows system) and stays so until the id is
// saved again. Any common line end is read; CR LF is written. A rewrite is atomic: a crash leaves
// the old file or the new one.

class SettingsFileError : public TextError
{
public:
    using TextError::TextError;
};

// Where the file lives: $KESTRUN_CONFIG when set; else Kestrun.cfg beside the program when that
// folder can be written and is not a system folder; else Kestrun.cfg in the user's
// configuration folder.
QString ConfigPath();

// True for the folders an installed program lives in (/usr/..., /opt/..., /bin ...).
bool IsSystemProgramFolder(const QString &Folder);

// The saved member id: the value of the first line named "UserID" (any letter case), everything
// after its first "=", untrimmed; "" when the file or the line does not exist.
// Throws SettingsFileError when the file exists but cannot be read.
QString ReadSavedUserID(const QString &Path);

// Replaces the first "UserID" line with "UserID=" + Id, or appends it; a missing file is
// created with that one line. Throws SettingsFileError when the file cannot be read or written.
void SaveUserID(const QString &Path, const QString &Id);
