#pragma once

#include <QString>

class QWidget;

// The program's plain message: one OK button, no icon, modal over Parent. Name is the box's
// object name, by which tests and assistive tools tell one message from another; the title is
// empty unless given (the upload and login messages carry the program's title).
void ShowPlainMessage(QWidget *Parent, const QString &Text,
    const QString &Name = QStringLiteral("PlainMessage"), const QString &Title = QString());
