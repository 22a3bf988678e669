#pragma once

#include <QString>
#include <QStringList>

// Which files of a folder the folder page offers as photos: plain files (no folders, hidden or
// system entries) whose extension names a readable format and is not on the exclusion list.

// The extensions that are never offered, as the one comma-separated text they are kept in.
extern const char *const ExcludedExtensionsText;

// The extensions of the formats the photo grid reads (lower case).
const QStringList &ReadableExtensions();

// Readable and not excluded, in the order of ReadableExtensions (lower case).
const QStringList &OfferedExtensions();

// True when FileName (a name or a path) carries an offered extension, in any letter case.
bool IsOfferedPhotoName(const QString &FileName);

// The full paths of the offered photos of Folder, in name order (NaturalNameLess).
// Empty when the folder cannot be listed.
QStringList ListFolderPhotos(const QString &Folder);

// The photos of Folder that ListFolderPhotos cannot offer because their file names are not
// valid in the file system's encoding, each as well as it can be shown: read as CP949 when its
// bytes are CP949 (a name from an older Korean system), else with the bad bytes replaced.
QStringList UnlistablePhotoNames(const QString &Folder);

// Name order as people read it: letter case ignored, runs of digits compared as numbers.
bool NaturalNameLess(const QString &A, const QString &B);

// The offered photos among Paths (dropped files): existing plain, non-hidden files with an
// offered extension, in the given order.
QStringList OfferedPhotoFiles(const QStringList &Paths);
