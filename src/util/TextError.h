#pragma once

#include <QString>

#include <stdexcept>

// An error that carries the text the customer sees. The subsystems derive their own kind from
// it (FtpError, HttpError, ...) so a handler can catch one kind and still show any by its text.
class TextError : public std::runtime_error
{
public:
    explicit TextError(const QString &Text)
        : std::runtime_error(Text.toStdString())
    { }
    QString Text() const { return QString::fromStdString(what()); }
};
