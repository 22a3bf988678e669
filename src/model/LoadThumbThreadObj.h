#pragma once

#include "util/Bitmap32.h"

#include <QString>

#include <cstdint>

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

// What the loads do, for measuring: queued counts detached loads not yet finished (a stale one
// leaves at once), decoding those decoding or drawing now; the peaks since the last reset.
struct ThumbnailLoadCounts
{
    int Queued = 0;
    int Decoding = 0;
    int PeakQueued = 0;
    int PeakDecoding = 0;
    std::uint64_t Decoded = 0; // loads that drew
    std::uint64_t Stale = 0; // loads that found their bitmap bound to another photo
};
ThumbnailLoadCounts ThumbnailLoadStatistics();
void ResetThumbnailLoadPeaks();
