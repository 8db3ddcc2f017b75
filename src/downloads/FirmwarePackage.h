// Firmware packages and their transfer to a printer in firmware-update mode.
//
// A package is a series of records laid end to end, each a 76-byte header
// followed by its body (integers little-endian):
//    0  4  not interpreted
//    4  4  body size in bytes
//    8  1  record type
//    9  3  not interpreted
//   12 32  record name  (text up to the first byte at or below 0x20)
//   44 32  version text (the same)
//
// The package travels unframed: each header as stored, then 100 ms later
// the printer's status byte; each body in pieces of up to 1024 bytes without
// a reply; after the last record one final status byte. Status 0 is
// success, 1-6 name the printer's reasons for refusing.
#pragma once

#include "core/PrinterSession.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

namespace FirmwarePackage {

constexpr int kHeaderSize = 76;
constexpr int kPieceSize = 1024;
constexpr int kHeaderStatusWait = 100;
constexpr int kStatusReadAttempts = 5;
constexpr int kStatusReadPause = 150;
constexpr int kFinalStatusReads = 101;
constexpr int kFinalStatusPause = 1000;
constexpr int kListPause = 50; // while a package is listed

struct Record {
    qsizetype offset = 0; // of the header in the package
    std::uint32_t bodySize = 0;
    int type = 0;
    QString name;
    QString version;
    // 1 for the header plus one per body piece.
    std::int64_t steps() const {
        return 1 + (std::int64_t(bodySize) + kPieceSize - 1) / kPieceSize;
    }
};

// The records of `package`. False when the package is empty or its last
// record is cut short (a header of fewer than 76 bytes or a body shorter
// than its header says); `records` then holds the complete records before it.
bool ReadRecords(const QByteArray& package, QList<Record>* records);

// 1 + ceil(body / 1024) summed over the records.
std::int64_t TotalSteps(const QList<Record>& records);

// The language key of a status value ("" for 0).
QString StatusMessageKey(int status);
// The text of a status value for the user.
QString StatusMessage(int status);

// Sends a package one step at a time over an open TSPL connection: the
// firmware window calls Step() from its timer, pellumctl in a loop.
class Sender {
public:
    enum class Result {
        Continue, // call Step() again
        Done,     // the printer accepted the package (connection closed)
        Failed,   // the message has been shown; the connection stays open
    };
    Sender(pellum::PrinterSession& session, QByteArray package);
    Result Step();
    std::int64_t stepsDone() const { return m_stepsDone; }
    // The download button shows idle from the moment the last byte is sent.
    bool allSent() const { return m_position >= m_package.size(); }
    std::function<void(std::int64_t stepsDone)> onStep;

private:
    Result FinalStatus();
    Result Fail(const QString& message);
    pellum::PrinterSession& m_session;
    QByteArray m_package;
    qsizetype m_position = 0;
    bool m_header = true;
    qsizetype m_bodyStart = 0;
    qsizetype m_bodySize = 0;
    std::int64_t m_stepsDone = 0;
};

} // namespace FirmwarePackage
