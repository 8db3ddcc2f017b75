// Figures for the shell:
//   1. pellum-utility from start to its main window shown (offscreen
//      platform) with a 200-printer list: wall time and resident memory.
//   2. A full identity read of a key-value model (emulation, firmware
//      version, printed length, serial number) against the virtual printer on
//      127.0.0.1: in-process through the modules, and as a pellumctl run;
//      compared with the sum of the protocol's fixed waits (4 x 50 ms).
#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"
#include "shell/StartUp.h"

#include "VirtualPrinterProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kBin = QStringLiteral(PELLUM_BENCH_BIN "/");

bool CopyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        if (!QFile::copy(from + '/' + name, to + '/' + name))
            return false;
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void StartupFigures() {
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    for (const char* f : {"pellum-utility", "libTSPL_SDK.so", "libCPCL_SDK.so", "libESC_SDK.so"})
        QFile::copy(kBin + QLatin1String(f), folder + QLatin1String(f));
    QFile(folder + "pellum-utility").setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    CopyFolder(kBin + "files", folder + "files");
    CopyFolder(kBin + "icons", folder + "icons");
    const QStringList models = {"PL-Nutmeg 200", "PL-Kapok 420T", "PL-Maple 80", "PL-Cedar 58"};
    QByteArray list;
    for (int i = 0; i < 200; ++i)
        list +=
            (models[i % models.size()] + QStringLiteral("|NET|NET,127.0.0.1:%1\r\n").arg(9100 + i))
                .toUtf8();
    QFile out(folder + "files/PrinterList.txt");
    out.open(QIODevice::WriteOnly);
    out.write(list);
    out.close();

    std::vector<double> shown, total;
    QString memory;
    const int runs = 15;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PELLUM_STARTUP_PROBE", "1");
        env.insert("PELLUM_LANGID", "1033");
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(folder + "pellum-utility", {"-EN"});
        p.setReadChannel(QProcess::StandardError);
        QByteArray err;
        double atShown = -1;
        while (atShown < 0 && p.waitForReadyRead(10000)) {
            err += p.readAllStandardError();
            if (err.contains("startup-probe shown")) {
                atShown = t.nsecsElapsed() / 1e6;
                const qsizetype at = err.indexOf("startup-probe");
                memory = QString::fromLatin1(err.mid(at, err.indexOf('\n', at) - at));
            }
        }
        p.waitForFinished(10000);
        total.push_back(t.nsecsElapsed() / 1e6);
        if (atShown >= 0)
            shown.push_back(atShown);
    }
    if (shown.empty()) {
        std::printf("start-up: the probe line never came\n");
        return;
    }
    std::printf("pellum-utility start-up, 200-printer list, offscreen, %d runs\n", runs);
    std::printf("  to main window shown: median %.1f ms, min %.1f ms, max %.1f ms\n", Median(shown),
                *std::min_element(shown.begin(), shown.end()),
                *std::max_element(shown.begin(), shown.end()));
    std::printf("  whole process (with exit): median %.1f ms\n", Median(total));
    std::printf("  memory at that point: %s\n", qPrintable(memory));
}

void IdentityFigures() {
    pellum::PrinterSession session;
    pellum::testing::VirtualPrinterProcess vp(
        (kBin + "pellum-virtual-printer").toStdString(),
        {"--model", "PL-Kapok 420", "--listen", "127.0.0.1:0"});
    if (!vp.start()) {
        std::printf("identity: the virtual printer did not start: %s\n", vp.error().c_str());
        return;
    }
    const QString port = QStringLiteral("NET,127.0.0.1:%1").arg(vp.port());
    StartUp::InitialiseFolders(kBin);
    pellum::lang::LanguageId = QStringLiteral("1033");
    pellum::lang::LoadMessageTable();
    pellum::models::CacheModelLists();
    QStringList problems;
    pellum::connection::LoadPrinterLibraries(kBin, &problems);
    session.SetModel(QStringLiteral("PL-Kapok 420"));
    session.SetPort(port);
    const double waits = 4 * 50.0;

    std::vector<double> inProcess;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        session.Tspl().Create(QStringLiteral("Spruce"));
        session.Tspl().Open(port);
        IdentityQueries::QueryEmulation(session);
        IdentityQueries::ReadFirmwareVersion(session);
        IdentityQueries::ReadPrintedLength(session);
        IdentityQueries::ReadSerialNumber(session);
        session.Tspl().Close();
        inProcess.push_back(t.nsecsElapsed() / 1e6);
    }
    std::vector<double> ctl;
    for (int i = 0; i < 10; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(kBin + "pellumctl", {"--model", "PL-Kapok 420", "--port", port, "identity"});
        p.waitForFinished(20000);
        ctl.push_back(t.nsecsElapsed() / 1e6);
    }
    std::vector<double> bare;
    for (int i = 0; i < 10; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(kBin + "pellumctl", {"--model", "PL-Kapok 420", "--port", port, "ports"});
        p.waitForFinished(20000);
        bare.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf(
        "identity of a key-value model (PL-Kapok 420) over 127.0.0.1, fixed waits %.0f ms\n",
        waits);
    std::printf("  in-process read: median %.1f ms (%.1f%% above the waits)\n", Median(inProcess),
                (Median(inProcess) - waits) / waits * 100.0);
    std::printf("  pellumctl identity run: median %.1f ms; pellumctl ports (start-up, no exchange) "
                "%.1f ms;\n"
                "  run minus process start-up %.1f ms (%.1f%% above the waits)\n",
                Median(ctl), Median(bare), Median(ctl) - Median(bare),
                (Median(ctl) - Median(bare) - waits) / waits * 100.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StartupFigures();
    IdentityFigures();
    return 0;
}
