// Fonts: the test job that prints a text in a stored font, the size rules of
// its label, and the user-font transfer that the user-font window paces with
// its timer (one packet per tick).
//
// A user font is announced with do "userfont_download" "ENCODING" (gbk,
// big5, jis, euc or ascii) and sent as DownloadPackets filled with FF and
// summed over their whole length; each packet is acknowledged like a file
// packet.
#pragma once

#include "downloads/PacketDownload.h"

#include "core/PrinterSession.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace FontDownload {

// Largest user-font file, in bytes.
constexpr qint64 kMaxUserFontBytes = 3133440;
// The character encodings of a user font, as the list shows them.
const QStringList& UserFontEncodings();

// The test job for `family` (3 CPCL, 1 TSPL, 4 ZPL, 5 EPL, others plain
// text), in the ANSI code page. `width` and `height` are the label size in
// millimetres (TSPL only).
QByteArray FontTestJob(std::int32_t family, const QString& font, const QString& text,
                       const QString& width, const QString& height);

// Label sizes for the TSPL test: width within 10 and the paper width,
// height within 10 and 210 (in that order of checks).
QString ClampPrintableWidth(const QString& width, int paperWidth);
QString ClampPrintableHeight(const QString& height);
constexpr int kMinPrintable = 10;
constexpr int kMaxPrintableHeight = 210;
constexpr int kMaxTestTextLength = 255;

// Waits of the user-font transfer.
constexpr int kWaitAfterFirstPacket = 1000;
constexpr int kWaitAfterPacket = 30;

// Announces a user font and waits for "OK" over the open TSPL connection.
bool AnnounceUserFont(pellum::PrinterSession& session, const QString& encoding);

// Sends the packets of a user font one by one over the open connection.
class UserFontSender {
public:
    enum class Result { Continue, Done, Failed };
    UserFontSender(pellum::PrinterSession& session, QByteArray data);
    // Sends and acknowledges one packet; Done after the last one (the
    // connection is then closed and the success shown). On failure the
    // message has been shown and the connection stays open.
    Result Step();
    std::int32_t packetsSent() const { return m_index; }
    std::int32_t packetCount() const { return m_count; }
    std::int32_t totalKilobytes() const { return m_count * 1; }
    std::function<void(std::int32_t packetsSent)> onPacket;
    // After the last packet, before the success message.
    std::function<void()> onComplete;

private:
    pellum::PrinterSession& m_session;
    QByteArray m_data;
    qsizetype m_offset = 0;
    std::int32_t m_index = 0;
    std::int32_t m_count = 0;
};

} // namespace FontDownload
