#pragma once

#include "model/uBrimvaleOrders.h"
#include "util/TextError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

// The recovery file of the waiting list: while photos wait on the list, what the customer chose
// for them is kept on disk, so a crash, a power cut or a closed window loses nothing. One file
// per user id in the application's data folder, written atomically.

// One order as the file keeps it: what the customer chose, and the photo's file as it was when
// it was measured (so a photo changed since can be told).
struct WaitingListEntry
{
    QString FileName;
    qint64 FileSize = -1;
    qint64 FileTime = 0; // last modification, ms since the epoch (UTC)
    std::int32_t ImageWidth = 0;
    std::int32_t ImageHeight = 0;
    std::array<std::int32_t, PrintSizeCount> Quantities {};
    std::array<TSizeStatus, PrintSizeCount> SizeStatuses {};
    std::array<TFloatRect, PrintSizeCount> CropRects {};
    std::array<QString, PrintSizeCount> CropTexts {};
    std::uint8_t Layout = TOrder::LayoutNotChosen;
    bool Bordered = false;
    std::uint8_t AutoCorrect = TOrder::AutoCorrectOff;

    friend bool operator==(const WaitingListEntry &, const WaitingListEntry &) = default;
};
using WaitingList = std::vector<WaitingListEntry>;

class WaitingListError : public TextError
{
public:
    using TextError::TextError;
};

WaitingListEntry EntryOf(const TOrder &Order);
WaitingList SnapshotOf(const std::vector<std::unique_ptr<TOrder>> &Orders);

// The file's bytes (JSON, versioned) and back. Decoding throws WaitingListError for a file that
// is damaged or written by a newer version.
QByteArray EncodeWaitingList(const WaitingList &List);
WaitingList DecodeWaitingList(const QByteArray &Bytes);

// Where the list of UserID is kept: the application's data folder, one file per user id.
QString WaitingListPath(const QString &UserID);

// The file's list; nullopt when there is no file. Throws WaitingListError when it cannot be read.
std::optional<WaitingList> ReadWaitingList(const QString &Path);

// Moves a file that cannot be read out of the way (beside it, with ".damaged" and the time in
// its name), so that it is neither lost nor offered again. Returns the new path, or "" when it
// could not be moved (it is then removed).
QString SetAsideWaitingList(const QString &Path);

// The orders of a kept list, measured again. A photo that is gone is left out and named in
// Missing; a photo whose size or modification time changed keeps its quantities and options
// but not its crops, and its marks are rated afresh.
struct RestoredWaitingList
{
    std::vector<std::unique_ptr<TOrder>> Orders;
    QStringList Missing;
    int Changed = 0;
};
RestoredWaitingList RestoreWaitingList(const WaitingList &List);

// Writes the list on a thread of its own, so a long list never holds up the window: Keep()
// returns at once and only the latest list is written; an empty list removes the file.
// Every file operation runs on that thread, in the order asked.
class WaitingListKeeper
{
public:
    explicit WaitingListKeeper(QString Path);
    ~WaitingListKeeper(); // finishes what was asked
    WaitingListKeeper(const WaitingListKeeper &) = delete;
    WaitingListKeeper &operator=(const WaitingListKeeper &) = delete;

    const QString &Path() const { return m_path; }
    // Asks for List to be written unless it equals the one asked for last.
    void Keep(WaitingList List);
    // Removes the file (a completed order, an emptied list).
    void Discard();
    // Blocks until everything asked so far is on disk; the last error, "" when none.
    QString Flush();

private:
    void run();

    const QString m_path;
    std::optional<WaitingList> m_lastAsked; // the GUI side's copy, for the comparison
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<WaitingList> m_pending; // an empty list: remove the file
    bool m_busy = false;
    bool m_stop = false;
    QString m_error;
    std::thread m_thread;
};
