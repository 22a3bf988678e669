#pragma once

#include <QString>

// How photos are named on the upload host. The cart-info file refers to each photo by its
// upload name, and uses ":" as its field separator.

// The file-name part of a local path: the text after the last "/", "\" or ":". So a Linux
// file name holding ":" never puts a ":" into an upload name.
QString FileNamePart(const QString &Path);

// Text with every "%" turned into the full-width "％" (CP949 A3 A5), which the service's scripts
// do not take for an escape. Nothing else is touched.
QString FullWidthPercent(QString Text);

// The file-name part with every "%" full-width.
QString CleanFileName(const QString &Path);

// A thumbnail's path on the upload host: every blank as "_", the folders' blanks included.
QString BlanksAsUnderscores(QString Path);

// Stamp, "_", the 0-based upload index with at least five digits, "_", the cleaned name.
QString UploadName(const QString &Stamp, int Index, const QString &Path);

// Thumbnails folder (ending in "/") + upload name, every blank of the whole path as "_".
QString RemoteThumbnailPath(const QString &ThumbsFolder, const QString &UploadName);

// Orders folder (ending in "/") + upload name; blanks stay.
QString RemotePhotoPath(const QString &OrdersFolder, const QString &UploadName);
