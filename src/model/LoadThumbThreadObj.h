#pragma once

#include "util/Bitmap32.h"

#include <QString>

#include <memory>

// The thumbnail box: every thumbnail is 120 x 105, the whole photo fitted and centred on white.
inline constexpr int ThumbnailWidth = 120;
inline constexpr int ThumbnailHeight = 105;

// Draws the thumbnail of FileName into Bitmap. Wait false: the load runs detached on a bounded
// pool and the call returns at once; it binds FileName to Bitmap, and a load whose bitmap has
// meanwhile been bound to another photo does not draw. Wait true: returns once the picture is
// finished and the worker released. A photo that cannot be decoded leaves the picture white.
void LoadThumbnail(const std::shared_ptr<Bitmap32> &Bitmap, const QString &FileName, bool Wait);

// Waits until no detached load is running (program end, tests).
void WaitForThumbnailLoads();
