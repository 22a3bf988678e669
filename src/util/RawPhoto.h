#pragma once

#include <QString>

// Camera raw files. The program only recognises them by name; LibRaw reads them in the
// decoding helper (src/decoder), never in the program's own process.

// True for the extensions of the camera raw formats the folder page offers.
bool IsRawFileName(const QString &FileName);
