#pragma once

#include "util/HttpClient.h"

#include <QString>

// The forms of the upload scripts, posted with HttpClient::postForm.

// The upload scripts answer with a line or an error page: a few KB at most.
inline constexpr qint64 UploadAnswerLimit = 8 * 1024;

// The cart-info path cut for the cart-info form: "dir" is the path up to its last "\" or ":"
// (a final "\" left off, a final ":" kept), "filename" the rest; "/" does not count.
void SplitCartInfoPath(const QString &Path, QString &Dir, QString &FileName);
