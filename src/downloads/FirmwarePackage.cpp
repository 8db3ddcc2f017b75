#include "downloads/FirmwarePackage.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/Delay.h"

namespace FirmwarePackage {

namespace {

std::uint32_t U32(const QByteArray& b, qsizetype at) {
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

// Characters up to the first byte at or below 0x20, at most `width`.
QString FieldText(const QByteArray& b, qsizetype at, int width) {
    QString text;
    for (int i = 0; i < width; ++i) {
        const std::uint8_t c = std::uint8_t(b[at + i]);
        if (c <= 0x20)
            break;
        text.append(QChar(c));
    }
    return text;
}

} // namespace

bool ReadRecords(const QByteArray& package, QList<Record>* records) {
    records->clear();
    qsizetype at = 0;
    while (at < package.size()) {
        if (package.size() - at < kHeaderSize)
            return false;
        Record r;
        r.offset = at;
        r.bodySize = U32(package, at + 4);
        r.type = std::uint8_t(package[at + 8]);
        r.name = FieldText(package, at + 12, 32);
        r.version = FieldText(package, at + 44, 32);
        if (qsizetype(r.bodySize) > package.size() - at - kHeaderSize)
            return false;
        records->append(r);
        at += kHeaderSize + qsizetype(r.bodySize);
    }
    return !records->isEmpty();
}

std::int64_t TotalSteps(const QList<Record>& records) {
    std::int64_t total = 0;
    for (const Record& r : records)
        total += r.steps();
    return total;
}

QString StatusMessageKey(int status) {
    switch (status) {
    case 0:
        return QString();
    case 1:
        return QStringLiteral("FormGDL_err_Type");
    case 2:
        return QStringLiteral("FormGDL_err_Head");
    case 3:
        return QStringLiteral("FormGDL_err_Crc");
    case 4:
        // The language files name it "FormGDL_err_Storage " with a trailing
        // blank, which the INI reader drops from the names it reads.
        return QStringLiteral("FormGDL_err_Storage");
    case 5:
        return QStringLiteral("FormGDL_err_StorageCheck");
    case 6:
        return QStringLiteral("FormGDL_err_Name");
    default:
        return QStringLiteral("FormGDL_err_Unknown");
    }
}

QString StatusMessage(int status) {
    const QString text = pellum::lang::LangText(StatusMessageKey(status));
    return status > 6 ? pellum::lang::WithCode(text, status) : text;
}

Sender::Sender(pellum::PrinterSession& session, QByteArray package)
    : m_session(session), m_package(std::move(package)) {}

Sender::Result Sender::Fail(const QString& message) {
    pellum::lang::ErrorBox(message);
    return Result::Failed;
}

Sender::Result Sender::FinalStatus() {
    for (int read = 1; read <= kFinalStatusReads; ++read) {
        std::uint8_t status = 0;
        std::int32_t count = 0;
        m_session.SetLastResult(m_session.Tspl().Read(&status, 1, &count));
        if (count >= 1) {
            if (status != 0)
                return Fail(StatusMessage(status));
            m_session.Tspl().Close();
            pellum::lang::InfoBox(pellum::lang::Msg(QStringLiteral("_DownloadSuccess")));
            return Result::Done;
        }
        if (read < kFinalStatusReads)
            pellum::Delay(kFinalStatusPause);
    }
    return Fail(pellum::lang::Msg(QStringLiteral("_Err_ReadData")));
}

Sender::Result Sender::Step() {
    if (m_position >= m_package.size())
        return FinalStatus();
    const QString ioError = pellum::lang::LangText(QStringLiteral("FormGDL_ErrIO"));
    if (m_header) {
        if (m_package.size() - m_position < kHeaderSize)
            return Fail(pellum::lang::LangText(QStringLiteral("FormGDL_err_Package")));
        const QByteArray header = m_package.mid(m_position, kHeaderSize);
        m_bodyStart = m_position + kHeaderSize;
        m_bodySize = qsizetype(U32(header, 4));
        if (m_bodySize > m_package.size() - m_bodyStart)
            return Fail(pellum::lang::LangText(QStringLiteral("FormGDL_err_Package")));
        m_position += kHeaderSize;
        m_header = false;
        const std::int32_t written = m_session.Tspl().Write(header);
        m_session.SetLastResult(written);
        if (written != 0)
            return Fail(ioError);
        pellum::Delay(kHeaderStatusWait);
        std::uint8_t status = 0;
        std::int32_t count = 0;
        m_session.SetLastResult(
            m_session.Tspl().ReadRetry(&status, 1, &count, kStatusReadAttempts, kStatusReadPause));
        if (count < 1)
            return Fail(pellum::lang::Msg(QStringLiteral("_Err_ReadData")));
        if (status != 0)
            return Fail(StatusMessage(status));
    } else {
        const qsizetype bodyEnd = m_bodyStart + m_bodySize;
        if (m_position >= bodyEnd) {
            m_header = true;
            return Result::Continue;
        }
        const qsizetype n = std::min<qsizetype>(bodyEnd - m_position, kPieceSize);
        const std::int32_t written = m_session.Tspl().Write(
            reinterpret_cast<const std::uint8_t*>(m_package.constData()) + m_position,
            std::int32_t(n));
        m_session.SetLastResult(written);
        if (written != 0)
            return Fail(ioError);
        m_position += n;
    }
    ++m_stepsDone;
    if (onStep)
        onStep(m_stepsDone);
    return Result::Continue;
}

} // namespace FirmwarePackage
