#pragma once

#include "util/FtpClient.h"

#include <QString>

// Walks Path from the root (when it starts with "/") folder by folder: lists the current
// folder, creates the next name unless an entry of exactly that name (case-sensitive) is
// listed, and changes into it. Only "/" separates names; blanks belong to them, and a name
// that is empty or only blanks is skipped. Afterwards the connection's current folder is the
// last one of the path. Throws FtpError when a listing, a creation or a change fails.
void MakeFtpDirectories(FtpClient &Client, const QString &Path);
