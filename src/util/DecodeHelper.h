#pragma once

#include "util/ImageDecode.h"

#include <QImage>
#include <QSize>
#include <QString>

// Photos whose decoders are not the program's own libjpeg path (camera raw files, PNG, TIFF,
// WebP, GIF, ...) are measured and decoded by the helper program kestrun-decoder, in a
// process of its own under resource limits: a decoder that crashes, hangs or runs out of
// memory costs that one photo (no size, or the size it measured before failing, and no
// picture), never the program. Every function here is thread-safe; at most a few helpers
// run at once and a caller waits for a free one.

// Where the helper is looked for: $KESTRUN_DECODER, else the installed layout relative to
// the program (<bin>/../libexec/kestrun-brimvale/kestrun-decoder, which the build tree
// mirrors), else beside the program.
QString DecodeHelperPath();

// The stored size as the helper measures it; 0 x 0 when it cannot. Sizes are kept per file
// (path, size, modification time), so a photo measured or fitted once is not asked again.
QSize MeasureOutOfProcess(const QString &FileName);

struct HelperPicture
{
    QSize StoredSize {0, 0}; // only from FitOutOfProcess
    QImage Image; // null when it cannot be made
    bool FromRawPreview = false;
};

// The photo decoded by the helper at exactly Needed; no picture for more than MaxPixels
// stored pixels.
HelperPicture DecodeOutOfProcess(const QString &FileName, QSize Needed, qint64 MaxPixels);

// DecodeFittedPicture for the photos the helper must also measure (neither JPEG nor PNG by
// content): one helper call gives the size and the fitted picture. False, and Result
// untouched, for a photo the program measures itself.
bool FitOutOfProcess(const QString &FileName, QSize Box, FittedPicture &Result);

// What the helper's sandbox lets a decoder do, as text ("socket=... write=... read=..."),
// tried on FileName. For tests.
QString ProbeDecodeHelper(const QString &FileName);

// Ends the helpers and forgets the kept sizes; the next photo starts a helper with the
// environment as it is then. For tests.
void ResetDecodeHelpers();
