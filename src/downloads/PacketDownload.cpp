// The packet stream, its acknowledgements and the two download threads.
#include "downloads/PacketDownload.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/Delay.h"
#include "settings/ParameterBlock.h"
#include "settings/PrinterCMD.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace PacketDownload {

namespace {

using ParameterBlockProtocol::Checksum16;

const std::uint8_t* Bytes(const QByteArray& b) {
    return reinterpret_cast<const std::uint8_t*>(b.constData());
}

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}
QString Text(const char* key) {
    return pellum::lang::LangText(QLatin1String(key));
}

void PutU16(QByteArray& b, qsizetype at, std::uint32_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

std::mutex g_threadsMutex;
std::condition_variable g_threadsDone;
int g_threadsRunning = 0;

void ThreadEnded() {
    std::lock_guard<std::mutex> lock(g_threadsMutex);
    --g_threadsRunning;
    g_threadsDone.notify_all();
}

} // namespace

QString MemoryPrefix(bool ram) {
    return ram ? QStringLiteral("R_") : QStringLiteral("E_");
}

std::int32_t PacketCountFor(qsizetype length, std::int32_t packetSize) {
    if (packetSize <= 0)
        return 0;
    return std::int32_t(length / packetSize + 1);
}

QByteArray BuildDownloadPacket(const QByteArray& data, qsizetype offset, std::uint32_t index,
                               PacketFill fill, std::int32_t packetSize) {
    QByteArray p(packetSize + kPacketOverhead, fill == PacketFill::UserFont ? char(0xFF) : '\0');
    p.replace(0, 4, kPacketMarker);
    PutU16(p, 4, index & 0xFFFF);
    PutU16(p, 6, index >> 16);
    const qsizetype left = offset < data.size() ? data.size() - offset : 0;
    const int n = int(std::min<qsizetype>(left, packetSize));
    PutU16(p, 8, std::uint32_t(n));
    if (n > 0)
        p.replace(10, n, data.constData() + offset, n);
    const int summed = fill == PacketFill::UserFont ? packetSize + 10 : n + 10;
    PutU16(p, 10 + packetSize, Checksum16(Bytes(p), summed));
    return p;
}

AckResult CheckPacketAck(const QByteArray& packet, const QByteArray& reply) {
    if (reply.size() != kAckSize || packet.size() < 8 || reply.left(8) != packet.left(8))
        return AckResult::Bad;
    if (reply[8] != 0 || reply[9] != 0)
        return AckResult::Bad;
    const std::uint16_t sum = Checksum16(Bytes(reply), 10);
    if (std::uint8_t(reply[10]) != (sum & 0xFF) || std::uint8_t(reply[11]) != (sum >> 8))
        return AckResult::BadChecksum;
    return AckResult::Accepted;
}

QString CheckDownloadFileName(const QString& name) {
    if (name.size() > kMaxStoredNameLength)
        return Text("_Err_FileNameLength")
            .replace(QLatin1String("%1"), QString::number(kMaxStoredNameLength));
    if (name.contains(QLatin1Char(' ')))
        return Text("msgASCIIFileName");
    for (const QChar c : name)
        if (c.unicode() > 0xFF)
            return Text("msgASCIIFileName");
    return QString();
}

QString FormatCapacity(const QString& reply) {
    bool ok = false;
    const double value = QLocale::c().toDouble(reply + QStringLiteral(".10"), &ok);
    if (!ok)
        return QString();
    const QString text = QLocale().toString(value, 'f', 2);
    return text.left(text.size() - 3);
}

QList<StoredFile> ParseStoredFileList(const QString& reply) {
    QList<StoredFile> files;
    for (const QString& entry : reply.split(QLatin1Char(','))) {
        if (entry.isEmpty())
            continue; // the list may end with a separator
        files.append({entry.startsWith(QLatin1Char('R')), entry.mid(2)});
    }
    return files;
}

bool QueryCapacity(pellum::PrinterSession& session, bool ram, CapacityInfo* info) {
    const QString usedKey =
        ram ? QStringLiteral("use_capacity_ram") : QStringLiteral("use_capacity");
    const QString freeKey =
        ram ? QStringLiteral("remain_capacity_ram") : QStringLiteral("remain_capacity");
    CapacityInfo got;
    got.used = PrinterCMD::CmdGetVal(session, usedKey);
    if (got.used.isEmpty())
        return false;
    got.remaining = PrinterCMD::CmdGetVal(session, freeKey);
    if (got.remaining.isEmpty())
        return false;
    bool ok = false;
    const qlonglong free = got.remaining.trimmed().toLongLong(&ok);
    DownloadState::FreeCapacity = ok ? free : 0;
    if (!ok)
        return false;
    if (info)
        *info = got;
    return true;
}

QString CapacityText(const CapacityInfo& info) {
    return Text("FormDLF_SpaceInfo")
        .replace(QLatin1String("{0}"), FormatCapacity(info.remaining))
        .replace(QLatin1String("{1}"), FormatCapacity(info.used));
}

bool HoldForCapacity(pellum::PrinterSession& session) {
    if (session.portHeld)
        return true;
    const std::int32_t rc = session.Tspl().Open(session.Port());
    session.SetLastResult(rc);
    if (rc != 0 && rc != 5) {
        pellum::lang::ErrorBox(Msg("_Err_OpenPort"));
        return false;
    }
    session.portHeld = true;
    return true;
}

bool AnnounceDownload(pellum::PrinterSession& session, const QString& storageClass,
                      const QString& storedName) {
    PrinterCMD::CmdDoArgs(session, QStringLiteral("download"), storageClass, storedName);
    if (session.LastResult() != 0)
        return false;
    pellum::Delay(kAnnounceWait);
    std::uint8_t reply[2] = {0, 0};
    std::int32_t count = 0;
    session.Tspl().ReadRetry(reply, 2, &count, kAnnounceReadAttempts, kAnnounceReadPause);
    return count == 2 && reply[0] == 'O' && reply[1] == 'K';
}

TDLThread::TDLThread(pellum::PrinterSession& session, Options options, Events events)
    : m_session(session), m_options(std::move(options)), m_events(std::move(events)) {}

bool TDLThread::Fail(const QString& message) {
    pellum::lang::ErrorBox(message);
    PrinterCMD::CmdRelease(m_session);
    DownloadState::DownloadCancelled = true;
    return false;
}

SendOutcome TDLThread::Execute() {
    const SendOutcome outcome = Run();
    if (m_events.finished)
        m_events.finished(outcome);
    return outcome;
}

SendOutcome TDLThread::Run() {
    using namespace DownloadState;
    const QByteArray data = DownloadData;
    const std::int32_t packetSize = PacketSize;
    qsizetype offset = 0;
    PacketIndex = 0;
    while (PacketIndex < PacketCount) {
        if (DownloadCancelled) {
            // The printer drops a file whose packets stop coming; the mark of
            // a held connection goes with the connection.
            PrinterCMD::CmdClose(m_session);
            m_session.portHeld = false;
            return SendOutcome::Cancelled;
        }
        const QByteArray packet = BuildDownloadPacket(
            data, offset, std::uint32_t(PacketIndex.load()), PacketFill::File, packetSize);
        const std::int32_t written = m_session.Tspl().Write(packet);
        m_session.SetLastResult(written);
        if (written != 0) {
            Fail(Text("FormGDL_ErrIO"));
            return SendOutcome::Failed;
        }
        offset += packetSize;
        ++PacketIndex;
        pellum::Delay(kWaitAfterPacket);
        QByteArray reply(kAckSize, '\0');
        std::int32_t count = 0;
        m_session.SetLastResult(
            m_session.Tspl().ReadRetry(reinterpret_cast<std::uint8_t*>(reply.data()), kAckSize,
                                       &count, kAckReadAttempts, kAckReadPause));
        reply.truncate(std::max(0, std::min<int>(count, kAckSize)));
        switch (CheckPacketAck(packet, reply)) {
        case AckResult::Accepted:
            break;
        case AckResult::BadChecksum:
            Fail(Msg("_Err_CheckSum"));
            return SendOutcome::Failed;
        case AckResult::Bad:
            Fail(Text("FormGDL_ErrIO"));
            return SendOutcome::Failed;
        }
    }
    pellum::Delay(kWaitAfterLastPacket);
    const QString list = PrinterCMD::CmdGetVal(m_session, m_options.listClass);
    if (!list.isEmpty() && m_events.storedList)
        m_events.storedList(list);
    CapacityInfo info;
    if (QueryCapacity(m_session, m_options.ram, &info) && m_events.capacity)
        m_events.capacity(info);
    PrinterCMD::CmdRelease(m_session);
    if (m_options.idleBeforeSuccessMessage && m_events.idle)
        m_events.idle();
    pellum::lang::InfoBox(Msg("_DownloadSuccess"));
    if (!m_options.idleBeforeSuccessMessage && m_events.idle)
        m_events.idle();
    return SendOutcome::Completed;
}

TDLInfoThread::TDLInfoThread(std::function<void(int)> show) : m_show(std::move(show)) {}

void TDLInfoThread::Execute() {
    using namespace DownloadState;
    while (PacketIndex < PacketCount) {
        if (DownloadCancelled)
            return;
        if (m_show)
            m_show(PacketIndex * KbPerPacket);
        pellum::Delay(kProgressInterval);
    }
    if (m_show)
        m_show(PacketIndex * KbPerPacket);
}

void StartDownloadThreads(std::unique_ptr<TDLInfoThread> info, std::unique_ptr<TDLThread> sender) {
    {
        std::lock_guard<std::mutex> lock(g_threadsMutex);
        g_threadsRunning += 2;
    }
    std::thread([i = std::move(info)] {
        i->Execute();
        ThreadEnded();
    }).detach();
    std::thread([s = std::move(sender)] {
        s->Execute();
        ThreadEnded();
    }).detach();
}

bool DownloadThreadsRunning() {
    std::lock_guard<std::mutex> lock(g_threadsMutex);
    return g_threadsRunning > 0;
}

void WaitForDownloadThreads() {
    QCoreApplication* app = QCoreApplication::instance();
    const bool onAppThread = app && QThread::currentThread() == app->thread();
    std::unique_lock<std::mutex> lock(g_threadsMutex);
    while (g_threadsRunning > 0) {
        if (onAppThread) {
            lock.unlock();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            lock.lock();
        }
        g_threadsDone.wait_for(lock, std::chrono::milliseconds(onAppThread ? 2 : 50));
    }
}

bool TryStartDownload(const std::function<bool()>& prepareAndStart, std::optional<QString>* error) {
    error->reset();
    try {
        return prepareAndStart();
    } catch (const std::exception& e) {
        *error = QString::fromStdString(e.what());
        return false;
    }
}

} // namespace PacketDownload
