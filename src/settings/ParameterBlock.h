// The 256-byte parameter block of the block-protocol printers and the two
// exchanges that fetch and send it whole.
//
// Frame: byte 0 is the marker 0x78 ('x'); bytes 1-253 hold the parameters;
// bytes 254-255 hold Checksum16 of bytes 0-253, low byte first. Both exchanges
// use the TSPL connection whatever the printer's language; CurrentFamily only
// chooses the command bytes.
#pragma once

#include "core/PrinterSession.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace ParameterBlockProtocol {

constexpr int kBlockSize = 256;
constexpr int kChecksumOffset = 254; // low byte; the high byte follows
constexpr std::uint8_t kMarker = 0x78;

using ParameterBlock = std::array<std::uint8_t, kBlockSize>;

// Read and write commands. Family 1 (TSPL): "ZZZCR\n" and "ZZZCW "; every
// other family: DC2 'b' and DC2 'c'.
inline const QByteArray kReadCommandTspl = QByteArray("\x5A\x5A\x5A\x43\x52\x0A", 6);
inline const QByteArray kWriteCommandTspl = QByteArray("\x5A\x5A\x5A\x43\x57\x20", 6);
inline const QByteArray kReadCommandOther = QByteArray("\x12\x62", 2);
inline const QByteArray kWriteCommandOther = QByteArray("\x12\x63", 2);

QByteArray ReadCommand(std::int32_t family);
QByteArray WriteCommand(std::int32_t family);

// Waits of the exchanges, in milliseconds.
constexpr int kWaitBeforeRead = 200;
constexpr int kWaitAfterRead = 50;
constexpr int kReadAttempts = 2;
constexpr int kReadRetryPause = 100;
constexpr int kWaitBeforeBlock = 20;

// Sum of the first `count` bytes modulo 65536 (0 for count 0).
std::uint16_t Checksum16(const std::uint8_t* bytes, int count);

// Puts Checksum16 of bytes 0-253 into bytes 254-255.
void SealBlock(ParameterBlock& block);
// True when byte 0 is the marker and bytes 254-255 hold the checksum.
bool BlockIsValid(const ParameterBlock& block);

// Reads the block of the selected printer (CurrentPort, CurrentFamily).
// Success: `block` filled, `message` "OK". Failure: `message` is the text of
// _Err_OpenPort, _Err_WriteData, _Err_ReadData or _Err_CheckSum and `block`
// is left as it was. Shows nothing. `messageKey`, when given, receives the
// key of the failure ("" on success).
void ReadParameterBlock(pellum::PrinterSession& session, ParameterBlock& block, QString& message,
                        QString* messageKey = nullptr);

// Sends `block` with a fresh checksum (placed in a copy; the caller's block
// is not changed). An open failure is shown as "code:_Err_OpenPort"; true
// when both writes succeeded.
bool WriteParameterBlock(pellum::PrinterSession& session, const ParameterBlock& block);

// Conversions for files and the command line.
QByteArray ToBytes(const ParameterBlock& block);
// False unless `bytes` holds exactly 256 bytes.
bool FromBytes(const QByteArray& bytes, ParameterBlock& block);

} // namespace ParameterBlockProtocol
