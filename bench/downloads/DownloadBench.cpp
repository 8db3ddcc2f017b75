// A 3 MB download against the virtual printer on loopback TCP, through the
// real printer libraries and the program's packet engine.
//
//   bench-downloads [BIN_FOLDER] [BYTES]
//
// The program's fixed waits (20 ms after each packet, 1 s after the last)
// are counted but not slept, so the time printed is what the transfer costs
// besides them: building packets, writing, reading and checking each
// acknowledgement. The waits the real program adds are printed beside it.
#include "VirtualPrinterProcess.h"

#include "connection/PrinterLibraries.h"
#include "core/Family.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "downloads/PacketDownload.h"
#include "platform/Delay.h"
#include "platform/UserDialogs.h"
#include "settings/PrinterCMD.h"
#include "shell/StartUp.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using Clock = std::chrono::steady_clock;
using namespace PacketDownload;

int main(int argc, char** argv) {
    pellum::PrinterSession session;
    QCoreApplication app(argc, argv);
    const QString bin = argc > 1 ? QString::fromLocal8Bit(argv[1]) + QLatin1Char('/')
                                 : QStringLiteral(PELLUM_BENCH_BIN "/");
    const qsizetype bytes = argc > 2 ? std::atoll(argv[2]) : 3 * 1024 * 1024;
    StartUp::InitialiseFolders(bin);
    pellum::lang::LanguageId = QStringLiteral("1033");
    pellum::lang::LoadMessageTable();
    QStringList problems;
    if (!pellum::connection::LoadPrinterLibraries(bin, &problems)) {
        std::fprintf(stderr, "%s\n", qPrintable(problems.join('\n')));
        return 1;
    }
    pellum::testing::VirtualPrinterProcess vp(
        (bin + QStringLiteral("pellum-virtual-printer")).toStdString(),
        {"--model", "PL-Larch 620", "--listen", "127.0.0.1:0"});
    if (!vp.start()) {
        std::fprintf(stderr, "%s\n", vp.error().c_str());
        return 1;
    }
    session.SetPort(QStringLiteral("NET,127.0.0.1:%1").arg(vp.port()));
    session.SetFamily(pellum::FamilyTSPL);
    session.Tspl().Create(QStringLiteral("Spruce"));
    pellum::ConsoleDialogs dialogs;
    pellum::SetDialogs(&dialogs);
    std::atomic<long long> waited{0};
    pellum::SetDelayHook([&](int ms) { waited += ms; });

    QByteArray data(bytes, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char((i * 31) ^ (i >> 8));
    const auto start = Clock::now();
    if (!PrinterCMD::CmdHoldOpen(session) || !QueryCapacity(session, false, nullptr) ||
        !AnnounceDownload(session, kClassLabels, QStringLiteral("E_BENCH.PRN"))) {
        std::fprintf(stderr, "the printer did not take the announcement\n");
        return 1;
    }
    DownloadState::DownloadData = data;
    DownloadState::PacketSize = kPacketSize;
    DownloadState::KbPerPacket = 1;
    DownloadState::PacketIndex = 0;
    DownloadState::PacketCount = PacketCountFor(data.size());
    DownloadState::DownloadCancelled = false;
    const auto sendStart = Clock::now();
    TDLThread sender(session, {kClassLabels, false, false}, {});
    const SendOutcome outcome = sender.Execute();
    const auto end = Clock::now();
    const double sendS = std::chrono::duration<double>(end - sendStart).count();
    const double allS = std::chrono::duration<double>(end - start).count();
    std::printf("download of %lld bytes in %d packets: %s\n", static_cast<long long>(bytes),
                DownloadState::PacketCount.load(),
                outcome == SendOutcome::Completed ? "stored" : "FAILED");
    std::printf("  packets and acknowledgements  %8.3f s  (%.1f us per packet)\n", sendS,
                1e6 * sendS / DownloadState::PacketCount);
    std::printf("  whole exchange                %8.3f s  (announcement, list, capacity)\n", allS);
    std::printf("  the program's own waits add   %8.3f s\n", waited / 1000.0);
    return outcome == SendOutcome::Completed ? 0 : 1;
}
