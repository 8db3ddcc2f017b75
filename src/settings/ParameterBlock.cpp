#include "settings/ParameterBlock.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/Delay.h"

#include <cstring>

namespace ParameterBlockProtocol {

namespace {

bool Opened(std::int32_t result) {
    return result == 0 || result == 5;
}

std::int32_t OpenSelectedPort(pellum::PrinterSession& session) {
    const std::int32_t rc = session.Tspl().Open(session.Port());
    session.SetLastResult(rc);
    return rc;
}

std::int32_t Write(pellum::PrinterSession& session, const QByteArray& bytes) {
    const std::int32_t rc = session.Tspl().Write(bytes);
    session.SetLastResult(rc);
    return rc;
}

// Reads up to `size` bytes into `buffer`; the count of bytes received.
std::int32_t ReadInto(pellum::PrinterSession& session, std::uint8_t* buffer, std::int32_t size) {
    std::int32_t count = 0;
    session.SetLastResult(
        session.Tspl().ReadRetry(buffer, size, &count, kReadAttempts, kReadRetryPause));
    if (count < 0)
        count = 0;
    if (count > size)
        count = size;
    return count;
}

void Fail(QString& message, QString* messageKey, const char* key) {
    message = pellum::lang::Msg(QString::fromLatin1(key));
    if (messageKey)
        *messageKey = QString::fromLatin1(key);
}

} // namespace

QByteArray ReadCommand(std::int32_t family) {
    return family == pellum::FamilyTSPL ? kReadCommandTspl : kReadCommandOther;
}

QByteArray WriteCommand(std::int32_t family) {
    return family == pellum::FamilyTSPL ? kWriteCommandTspl : kWriteCommandOther;
}

std::uint16_t Checksum16(const std::uint8_t* bytes, int count) {
    std::uint16_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum = std::uint16_t(sum + bytes[i]);
    return sum;
}

void SealBlock(ParameterBlock& block) {
    const std::uint16_t sum = Checksum16(block.data(), kChecksumOffset);
    block[kChecksumOffset] = std::uint8_t(sum & 0xFF);
    block[kChecksumOffset + 1] = std::uint8_t(sum >> 8);
}

bool BlockIsValid(const ParameterBlock& block) {
    const std::uint16_t sum = Checksum16(block.data(), kChecksumOffset);
    return block[0] == kMarker && block[kChecksumOffset] == (sum & 0xFF) &&
           block[kChecksumOffset + 1] == (sum >> 8);
}

void ReadParameterBlock(pellum::PrinterSession& session, ParameterBlock& block, QString& message,
                        QString* messageKey) {
    message = QStringLiteral("OK");
    if (messageKey)
        messageKey->clear();
    if (!Opened(OpenSelectedPort(session))) {
        Fail(message, messageKey, "_Err_OpenPort");
        return;
    }
    ParameterBlock buffer{};
    if (Write(session, ReadCommand(session.Family())) != 0) {
        Fail(message, messageKey, "_Err_WriteData");
        session.Tspl().Close();
        return;
    }
    pellum::Delay(kWaitBeforeRead);
    const std::int32_t n = ReadInto(session, buffer.data(), kBlockSize);
    pellum::Delay(kWaitAfterRead);
    // A reply that arrived in two parts is completed by asking for exactly
    // what is missing; bytes that never arrive stay 0x00 and fail the checks.
    // Any short reply is completed, not only one whose last two bytes are
    // still zero: a reply missing just its final byte has a non-zero byte 254
    // and could otherwise never be completed.
    if (n < kBlockSize)
        ReadInto(session, buffer.data() + n, kBlockSize - n);
    const std::uint16_t sum = Checksum16(buffer.data(), kChecksumOffset);
    if (buffer[0] != kMarker) {
        Fail(message, messageKey, "_Err_ReadData");
        session.Tspl().Close();
        return;
    }
    if (buffer[kChecksumOffset] != (sum & 0xFF) || buffer[kChecksumOffset + 1] != (sum >> 8)) {
        Fail(message, messageKey, "_Err_CheckSum");
        session.Tspl().Close();
        return;
    }
    block = buffer;
    session.Tspl().Close();
}

bool WriteParameterBlock(pellum::PrinterSession& session, const ParameterBlock& block) {
    const std::int32_t rc = OpenSelectedPort(session);
    if (!Opened(rc)) {
        pellum::lang::ErrorBox(
            pellum::lang::CodeFirst(rc, pellum::lang::Msg(QStringLiteral("_Err_OpenPort"))));
        return false;
    }
    ParameterBlock copy = block;
    SealBlock(copy);
    if (Write(session, WriteCommand(session.Family())) != 0) {
        session.Tspl().Close();
        return false;
    }
    pellum::Delay(kWaitBeforeBlock);
    const bool ok = Write(session, ToBytes(copy)) == 0;
    session.Tspl().Close();
    return ok;
}

QByteArray ToBytes(const ParameterBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(block.data()), kBlockSize);
}

bool FromBytes(const QByteArray& bytes, ParameterBlock& block) {
    if (bytes.size() != kBlockSize)
        return false;
    std::memcpy(block.data(), bytes.constData(), kBlockSize);
    return true;
}

} // namespace ParameterBlockProtocol
