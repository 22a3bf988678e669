#pragma once

#include <QByteArray>
#include <QString>

// The Korean code page in which every text travels to the service (paths, file names, form
// fields, the cart-info text). Built on glibc's "CP949" table, the Unified Hangul Code: Qt's
// own "CP949" is a different IBM table and "EUC-KR" lacks letters such as 똠, 햏 and 뷁.

// A character that CP949 cannot hold becomes "?"; Unheld, when given, receives those
// characters, each once, in the order they come.
QByteArray toCp949(const QString &Text, QString *Unheld = nullptr);

// A byte sequence that is not CP949 becomes U+FFFD, one per bad byte.
QString fromCp949(const QByteArray &Bytes);
