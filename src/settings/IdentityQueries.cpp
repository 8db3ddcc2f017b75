// The identity queries. Key-value models (list "GDS") answer through the
// key-value protocol; the others get short fixed commands on the TSPL
// connection and answer with a few raw bytes.
#include "settings/IdentityQueries.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "core/TextTools.h"
#include "platform/Delay.h"
#include "settings/PrinterCMD.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>

namespace IdentityQueries {

namespace {

const QByteArray kEmulationCommand = QByteArray::fromHex("1B1B08");
const QByteArray kVersionCommand = QByteArrayLiteral("ZZZGETVERSION\r\n");
const QByteArray kJourneyCommand = QByteArrayLiteral("ZZZGETJOURNEY\r\n");
constexpr int kEmulationWaitMs = 100;
constexpr int kVersionWaitMs = 100;
constexpr int kJourneyWaitMs = 600;

bool IsKeyValueModel(pellum::PrinterSession& session) {
    return pellum::models::ModelIn(QStringLiteral("GDS"), session.Model());
}

void Write(pellum::PrinterSession& session, const QByteArray& bytes) {
    session.SetLastResult(session.Tspl().Write(bytes));
}

// One plain read of up to `size` bytes into `buffer` (zero-filled by the
// caller); returns the number of bytes that arrived, and the read's code
// through `code`.
std::int32_t Read(pellum::PrinterSession& session, std::uint8_t* buffer, std::int32_t size,
                  std::int32_t* code) {
    std::int32_t count = 0;
    *code = session.Tspl().Read(buffer, size, &count);
    session.SetLastResult(*code);
    if (count < 0)
        count = 0;
    if (count > size)
        count = size;
    return count;
}

} // namespace

std::int32_t QueryEmulation(pellum::PrinterSession& session) {
    if (IsKeyValueModel(session)) {
        const QString reply = PrinterCMD::CmdGetVal(session, QStringLiteral("ppl")).toUpper();
        if (reply == QLatin1String("TSC"))
            return pellum::FamilyTSPL;
        if (reply == QLatin1String("EPL"))
            return pellum::FamilyEPL;
        // "ZPL", and anything the printer does not name, is ZPL.
        return pellum::FamilyZPL;
    }
    Write(session, kEmulationCommand);
    pellum::Delay(kEmulationWaitMs);
    std::array<std::uint8_t, 1> reply{};
    std::int32_t code = 0;
    const std::int32_t count = Read(session, reply.data(), 1, &code);
    // No answer selects the ESC library (0).
    if (code == 0 && count >= 1)
        return reply[0];
    return 0;
}

// The printer's firmware version is compared with the required one as three
// numbers, major first: the check passes when the printer's version is at
// least the required one ("1.3.0" passes "1.03.0", "1.2.9" does not). The
// reply must be the full three bytes (major, minor, patch) with a read code
// of 0; a missing or short reply fails the check. Missing parts of the
// required version count as 0; parts beyond the third are compared with 0.
bool CheckFirmwareVersion(pellum::PrinterSession& session, const QString& requiredVersion) {
    const std::int32_t openCode = session.Tspl().Open(session.Port());
    session.SetLastResult(openCode);
    if (openCode != 0 && openCode != 5) {
        pellum::lang::ErrorBox(
            pellum::lang::CodeFirst(openCode, pellum::lang::Msg(QStringLiteral("_Err_OpenPort"))));
        return false;
    }
    const QStringList parts = requiredVersion.split(QLatin1Char('.'));

    Write(session, kVersionCommand);
    pellum::Delay(kVersionWaitMs);
    std::array<std::uint8_t, 3> reply{};
    std::int32_t code = 0;
    const std::int32_t count = Read(session, reply.data(), 3, &code);
    session.Tspl().Close();
    if (code != 0 || count != 3)
        return false;

    const int compared = std::max<int>(3, static_cast<int>(parts.size()));
    for (int i = 0; i < compared; ++i) {
        const int have = i < 3 ? reply[static_cast<std::size_t>(i)] : 0;
        const int need = parts.value(i).trimmed().toInt();
        if (have != need)
            return have > need;
    }
    return true;
}

QString ReadFirmwareVersion(pellum::PrinterSession& session) {
    if (IsKeyValueModel(session))
        return PrinterCMD::CmdGetVal(session, QStringLiteral("version"));
    const bool withBeta =
        pellum::models::ModelIn(QStringLiteral("VersionLength4"), session.Model());
    Write(session, kVersionCommand);
    pellum::Delay(kVersionWaitMs);
    std::array<std::uint8_t, 4> reply{};
    std::int32_t code = 0;
    const std::int32_t count = Read(session, reply.data(), withBeta ? 4 : 3, &code);
    if (count != 3 && count != 4)
        return pellum::lang::Msg(QStringLiteral("_Err_ReadData"));
    QString text = QStringLiteral("V %1.%2.%3").arg(reply[0]).arg(reply[1]).arg(reply[2]);
    if (count == 4 && reply[3] != 0)
        text += QStringLiteral(".Beta") + QString::number(reply[3]);
    return text;
}

QString FormatPrintedLength(std::int32_t count) {
    const double metres = static_cast<double>(count) / 10.0 * 3.0 / 100.0;
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(metres, 'g', 15) + QStringLiteral(" (m)");
}

QString ReadPrintedLength(pellum::PrinterSession& session) {
    if (IsKeyValueModel(session)) {
        // No reply is no length, not a length of "m".
        const QString mileage = PrinterCMD::CmdGetVal(session, QStringLiteral("mileage"));
        return mileage.isEmpty() ? pellum::lang::Msg(QStringLiteral("_Err_ReadData"))
                                 : mileage + QLatin1Char('m');
    }
    Write(session, kJourneyCommand);
    pellum::Delay(kJourneyWaitMs);
    std::array<std::uint8_t, 4> reply{};
    std::int32_t code = 0;
    const std::int32_t count = Read(session, reply.data(), 4, &code);
    // The count is four big-endian bytes: a shorter reply would be read as a
    // wrong length, so it is treated as no reply.
    if (count != 4)
        return pellum::lang::Msg(QStringLiteral("_Err_ReadData"));
    const auto value = static_cast<std::int32_t>((static_cast<std::uint32_t>(reply[0]) << 24) |
                                                 (static_cast<std::uint32_t>(reply[1]) << 16) |
                                                 (static_cast<std::uint32_t>(reply[2]) << 8) |
                                                 static_cast<std::uint32_t>(reply[3]));
    return FormatPrintedLength(value);
}

QString ReadSerialNumber(pellum::PrinterSession& session) {
    if (IsKeyValueModel(session))
        return PrinterCMD::CmdGetVal(session, QStringLiteral("serial_no"));
    std::array<std::uint8_t, 32> buffer{};
    session.SetLastResult(session.Tspl().GetSN(buffer.data()));
    return pellum::text::BytesToText(buffer.data(), static_cast<int>(buffer.size()) - 1);
}

} // namespace IdentityQueries
