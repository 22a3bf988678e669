#pragma once

#include "util/HttpClient.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

// A multipart/form-data post of the upload, part by part in the given order. A text part
// carries only its Content-Disposition; a file part its Content-Disposition with the filename
// parameter, its Content-Type and "Content-Transfer-Encoding: binary", then the file's bytes,
// streamed from disk.
struct FormPart
{
    QByteArray Name;
    QByteArray Value;      // text part: the bytes as sent
    QString LocalFile;     // file part: the file to send (empty for a text part)
    QByteArray FileName;   // file part: the filename parameter, as sent
    QByteArray ContentType; // file part

    static FormPart Text(const QByteArray &Name, const QByteArray &Value);
    static FormPart File(const QByteArray &Name, const QString &LocalFile,
        const QByteArray &FileName, const QByteArray &ContentType);
};

// The upload scripts answer with a line or an error page: a few KB at most.
inline constexpr qint64 UploadAnswerLimit = 8 * 1024;

// Posts the form to Address with the client's session (cookies, headers, limits), taking an
// answer of at most AnswerLimit bytes. Throws HttpError when a file part cannot be opened (the
// form cannot be built); every transport failure, an answer over the limit included, comes
// back in the result. Progress reports go to the client's own hook.
HttpResult PostForm(HttpClient &Client, const QByteArray &Address, const QList<FormPart> &Parts,
    qint64 AnswerLimit = UploadAnswerLimit);

// The text of a failed post: the transport's error, or the status line of an error answer.
QString PostErrorText(HttpClient &Client, const HttpResult &Result);

// The cart-info path cut for the cart-info form: "dir" is the path up to its last "\" or ":"
// (a final "\" left off, a final ":" kept), "filename" the rest; "/" does not count.
void SplitCartInfoPath(const QString &Path, QString &Dir, QString &FileName);
