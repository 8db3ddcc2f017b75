#include "downloads/FontDownload.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/AnsiCodec.h"
#include "platform/Delay.h"
#include "settings/PrinterCMD.h"

namespace FontDownload {

namespace {

QString Text(const char* key) {
    return pellum::lang::LangText(QLatin1String(key));
}

} // namespace

const QStringList& UserFontEncodings() {
    static const QStringList items = {QStringLiteral("GBK"), QStringLiteral("BIG5"),
                                      QStringLiteral("JIS"), QStringLiteral("EUC"),
                                      QStringLiteral("ASCII")};
    return items;
}

QByteArray FontTestJob(std::int32_t family, const QString& font, const QString& text,
                       const QString& width, const QString& height) {
    const QString q = QStringLiteral("\"");
    QString job;
    switch (family) {
    case 3: // CPCL: the stored font is not referred to
        job = QStringLiteral("! 0 20 20 60 1\r\nT 9 0 8 8 ") + text +
              QStringLiteral("\r\nFORM\r\nPRINT\r\n");
        break;
    case 1: // TSPL
        job = QStringLiteral("SIZE ") + width + QStringLiteral(" mm,") + height +
              QStringLiteral(" mm\r\nCLS\r\nTEXT 10,10,") + q + font + q +
              QStringLiteral(",0,24,24,") + q + text + q + QStringLiteral("\r\nPRINT 1,1\r\n");
        break;
    case 4: // ZPL
        job = QStringLiteral("^XA\r\n^A@N,50,50,") + font +
              QStringLiteral("\r\n^FO100,100\r\n^FD") + text + QStringLiteral("^FS\r\n^XZ\r\n");
        break;
    case 5: // EPL
        job =
            QStringLiteral("N\r\nA300,10,0,1,2,2,N,") + q + text + q + QStringLiteral("\r\nP1\r\n");
        break;
    default:
        job = text + QStringLiteral("\r\n");
        break;
    }
    return pellum::ToAnsi(job);
}

QString ClampPrintableWidth(const QString& width, int paperWidth) {
    int w = width.trimmed().toInt();
    if (w > paperWidth)
        w = paperWidth;
    if (w < kMinPrintable)
        w = kMinPrintable;
    return QString::number(w);
}

QString ClampPrintableHeight(const QString& height) {
    int h = height.trimmed().toInt();
    if (h > kMaxPrintableHeight)
        h = kMaxPrintableHeight;
    if (h < kMinPrintable)
        h = kMinPrintable;
    return QString::number(h);
}

bool AnnounceUserFont(pellum::PrinterSession& session, const QString& encoding) {
    PrinterCMD::CmdDoArg(session, QStringLiteral("userfont_download"), encoding.toLower());
    pellum::Delay(PacketDownload::kAnnounceWait);
    std::uint8_t reply[2] = {0, 0};
    std::int32_t count = 0;
    session.Tspl().ReadRetry(reply, 2, &count, PacketDownload::kAnnounceReadAttempts,
                             PacketDownload::kAnnounceReadPause);
    return count == 2 && reply[0] == 'O' && reply[1] == 'K';
}

UserFontSender::UserFontSender(pellum::PrinterSession& session, QByteArray data)
    : m_session(session), m_data(std::move(data)),
      m_count(PacketDownload::PacketCountFor(m_data.size())) {}

UserFontSender::Result UserFontSender::Step() {
    using namespace PacketDownload;
    const QByteArray packet = BuildDownloadPacket(m_data, m_offset, std::uint32_t(m_index),
                                                  PacketFill::UserFont, kPacketSize);
    const std::int32_t written = m_session.Tspl().Write(packet);
    m_session.SetLastResult(written);
    if (written != 0) {
        pellum::lang::ErrorBox(Text("FormDownloadFont_ErrIO"));
        return Result::Failed;
    }
    m_offset += kPacketSize;
    ++m_index;
    if (onPacket)
        onPacket(m_index);
    pellum::Delay(m_index == 1 ? kWaitAfterFirstPacket : kWaitAfterPacket);
    QByteArray reply(kAckSize, '\0');
    std::int32_t count = 0;
    m_session.SetLastResult(
        m_session.Tspl().ReadRetry(reinterpret_cast<std::uint8_t*>(reply.data()), kAckSize, &count,
                                   kAckReadAttempts, kAckReadPause));
    reply.truncate(std::max(0, std::min<int>(count, kAckSize)));
    switch (CheckPacketAck(packet, reply)) {
    case AckResult::Accepted:
        break;
    case AckResult::BadChecksum:
        pellum::lang::ErrorBox(pellum::lang::Msg(QStringLiteral("_Err_CheckSum")));
        return Result::Failed;
    case AckResult::Bad:
        pellum::lang::ErrorBox(Text("FormDownloadFont_ErrIO"));
        return Result::Failed;
    }
    if (m_index < m_count)
        return Result::Continue;
    m_session.Tspl().Close();
    if (onComplete)
        onComplete();
    pellum::lang::InfoBox(pellum::lang::Msg(QStringLiteral("_DownloadSuccess")));
    return Result::Done;
}

} // namespace FontDownload
