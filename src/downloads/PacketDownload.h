// The packet download of files and fonts into a key-value printer's memory.
//
// A download is announced with the key-value action
//   do "download" "CLASS" "PREFIX+NAME"
// which the printer answers with "OK". The bytes then travel in numbered
// packets of kPacketSize payload bytes, one in flight at a time:
//
//   DownloadPacket (kPacketSize + 12 bytes, little-endian)
//     0  4  marker DD CC BB AA
//     4  4  PacketIndex, first packet 0
//     8  2  n, data bytes in this packet (0..kPacketSize)
//    10  .. the n data bytes, then fill up to kPacketSize
//    10+kPacketSize  2  Checksum16 of bytes 0..n+9 (files) or of every byte
//                       before it (user fonts, filled with FF)
//
//   PacketAck (12 bytes): bytes 0-7 of the packet, status 00 00, Checksum16
//   of bytes 0-9.
//
// Every download ends with a packet of fewer than kPacketSize data bytes, so
// a length that is a multiple of kPacketSize gets a last packet with n = 0.
//
// The sender (TDLThread) and the progress display (TDLInfoThread) run on
// their own threads and share DownloadState; both poll DownloadCancelled.
// They reach the window only through the callbacks they are given, which the
// window hands to its own thread.
#pragma once

#include "core/PrinterSession.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace PacketDownload {

constexpr std::int32_t kPacketSize = 1024;
constexpr int kPacketOverhead = 12; // marker, index, n, checksum
constexpr int kAckSize = 12;
inline const QByteArray kPacketMarker = QByteArray::fromHex("DDCCBBAA");

// Waits and read settings of the exchange, in milliseconds.
constexpr int kAnnounceWait = 100;
constexpr int kAnnounceReadAttempts = 2;
constexpr int kAnnounceReadPause = 100;
constexpr int kWaitAfterPacket = 20;
constexpr int kAckReadAttempts = 5;
constexpr int kAckReadPause = 150;
constexpr int kWaitAfterLastPacket = 1000;
constexpr int kProgressInterval = 20;

// Storage classes (sub-keys of "download", "delete" and "print").
inline const QString kClassBitmaps = QStringLiteral("bitmaps");
inline const QString kClassLabels = QStringLiteral("labels");
inline const QString kClassAutoform = QStringLiteral("autoform");
inline const QString kClassFonts = QStringLiteral("fonts");

// File names in printer memory carry "R_" (RAM) or "E_" (storage memory).
QString MemoryPrefix(bool ram);

// The state one download shares between the window and its two threads.
namespace DownloadState {
inline QString DownloadFileName; // window thread only
inline QByteArray DownloadData;  // set before the threads start, then only read
inline std::atomic<std::int32_t> PacketSize{kPacketSize};
inline std::atomic<std::int32_t> KbPerPacket{1};
inline std::atomic<std::int32_t> PacketCount{0};
inline std::atomic<std::int32_t> PacketIndex{0};
inline std::atomic<bool> DownloadCancelled{false};
// Remaining capacity of the latest capacity query, in bytes.
inline std::atomic<std::int64_t> FreeCapacity{0};
} // namespace DownloadState

// Packets for `length` bytes: length div packetSize + 1 (an empty file is
// sent as one packet with n = 0, which tells the printer it is complete).
std::int32_t PacketCountFor(qsizetype length, std::int32_t packetSize = kPacketSize);

enum class PacketFill {
    File,     // zero fill, checksum over the header and the n data bytes
    UserFont, // FF fill, checksum over the header and the whole payload
};

// The packet `index` carrying data[offset, offset + packetSize).
QByteArray BuildDownloadPacket(const QByteArray& data, qsizetype offset, std::uint32_t index,
                               PacketFill fill = PacketFill::File,
                               std::int32_t packetSize = kPacketSize);

enum class AckResult { Accepted, Bad, BadChecksum };

// Checks a reply of `count` bytes to `packet`: 12 bytes, the packet's first 8
// bytes echoed, status 00 00 and the checksum of bytes 0-9.
AckResult CheckPacketAck(const QByteArray& packet, const QByteArray& reply);

// Empty when `name` (without folder) may be stored, else the message: at
// most 10 characters, no space, no character above U+00FF.
QString CheckDownloadFileName(const QString& name);
constexpr int kMaxStoredNameLength = 10;

// A capacity reply with the locale's thousands separator ("1048576" ->
// "1,048,576"); "" when the reply is not a number.
QString FormatCapacity(const QString& reply);

// One entry of a stored-file list ("R_A.GRF,E_LOGO.GRF").
struct StoredFile {
    bool ram = false;
    QString name; // without the prefix
};
QList<StoredFile> ParseStoredFileList(const QString& reply);

// The capacity of the chosen memory.
struct CapacityInfo {
    QString used;
    QString remaining;
};
// Reads the used and remaining capacity over the open connection and sets
// FreeCapacity. False when a reply is empty or the remaining capacity is not
// a whole number (FreeCapacity then becomes 0, so no download can start on a
// capacity nobody knows).
bool QueryCapacity(pellum::PrinterSession& session, bool ram, CapacityInfo* info);
// The capacity line (FormDLF_SpaceInfo with {0} remaining, {1} used).
QString CapacityText(const CapacityInfo& info);

// Opens the connection for the capacity query unless one is held, and marks
// it held. Shows _Err_OpenPort on failure.
bool HoldForCapacity(pellum::PrinterSession& session);

// Announces `storedName` in `storageClass` and waits for the printer's "OK".
bool AnnounceDownload(pellum::PrinterSession& session, const QString& storageClass,
                      const QString& storedName);

enum class SendOutcome { Completed, Failed, Cancelled };

// Sends DownloadState::DownloadData as PacketCount packets and, after the
// last one, refreshes the stored-file list and the capacity.
class TDLThread {
public:
    struct Options {
        QString listClass = kClassBitmaps; // list read after the last packet
        bool ram = false;                  // memory of the capacity refresh
        // The font manager restores its button before the success message,
        // the file window after it.
        bool idleBeforeSuccessMessage = false;
    };
    // Called on the sender's thread.
    struct Events {
        std::function<void(const QString& storedList)> storedList;
        std::function<void(const CapacityInfo&)> capacity;
        std::function<void()> idle; // the download button back to idle
        // Last of all, however the download ended.
        std::function<void(SendOutcome)> finished;
    };
    TDLThread(pellum::PrinterSession& session, Options options, Events events);
    // Runs the download on the calling thread.
    SendOutcome Execute();

private:
    SendOutcome Run();
    bool Fail(const QString& message);
    pellum::PrinterSession& m_session;
    Options m_options;
    Events m_events;
};

// Shows PacketIndex x KbPerPacket every kProgressInterval ms until the last
// packet is sent or the download is cancelled.
class TDLInfoThread {
public:
    explicit TDLInfoThread(std::function<void(int kilobytes)> show);
    void Execute();

private:
    std::function<void(int)> m_show;
};

// Starts both threads together; each frees itself when it ends.
void StartDownloadThreads(std::unique_ptr<TDLInfoThread> info, std::unique_ptr<TDLThread> sender);
// True while a thread of a download still runs.
bool DownloadThreadsRunning();
// Waits until the threads of the last download have ended. On the
// application's thread it keeps handling events meanwhile (the threads hand
// their dialogs and updates to it).
void WaitForDownloadThreads();

// Runs the preparation and start of a download. A file or conversion error
// that it throws does not escape: its text goes to `error`, which stays
// empty otherwise. Returns whether
// the download threads were started.
bool TryStartDownload(const std::function<bool()>& prepareAndStart, std::optional<QString>* error);

} // namespace PacketDownload
