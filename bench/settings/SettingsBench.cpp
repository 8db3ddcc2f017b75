// Time of a settings window against the virtual printer on loopback TCP.
//
//   bench-settings [BIN_FOLDER] [ROUNDS] [MODEL]
//
// Opening: from the parameter-setting button's first step (opening the port)
// to the window showing the printer's values; Set: from the click on Set to
// the _ParaSet_OK message. Each is printed with the fixed waits the protocol
// asked for during it (Delay), so the difference is the program's own time
// plus the transfer of the bytes.
#include "VirtualPrinterProcess.h"

#include "core/Family.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "platform/Delay.h"
#include "platform/UserDialogs.h"
#include "settings/SettingsTables.h"
#include "settings/windows/FormParaSetWindows.h"
#include "shell/StartUp.h"

#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct TimedDialogs : pellum::UserDialogs {
    Clock::time_point lastMessage;
    QString lastText;
    void ShowMessage(pellum::MessageKind, const QString&, const QString& text) override {
        lastMessage = Clock::now();
        lastText = text;
    }
    bool Confirm(const QString&, const QString&) override { return true; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
};

struct Figures {
    std::vector<double> total;
    std::vector<double> waits;
};

void Report(const char* what, Figures& f) {
    std::vector<double> over;
    for (std::size_t i = 0; i < f.total.size(); ++i)
        over.push_back(f.total[i] - f.waits[i]);
    std::sort(over.begin(), over.end());
    std::sort(f.total.begin(), f.total.end());
    const auto median = [](const std::vector<double>& v) { return v[v.size() / 2]; };
    std::printf(
        "%-8s total median %7.1f ms  fixed waits %5.0f ms  beyond the waits: median %5.1f ms, "
        "max %5.1f ms\n",
        what, median(f.total), f.waits.front(), median(over), over.back());
}

} // namespace

int main(int argc, char** argv) {
    pellum::PrinterSession session;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QString bin =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) + '/' : QStringLiteral(PELLUM_BENCH_BIN "/");
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    const QString model =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("PL-Nutmeg 200");

    pellum::testing::VirtualPrinterProcess vp(
        (bin + "pellum-virtual-printer").toStdString(),
        {"--model", model.toStdString(), "--listen", "127.0.0.1:0", "--random-block", "1"});
    if (!vp.start()) {
        std::fprintf(stderr, "virtual printer: %s\n", vp.error().c_str());
        return 1;
    }
    StartUp::InitialiseFolders(bin);
    StartUp::InitialiseLanguage();
    pellum::models::CacheModelLists();
    for (const QString& problem : StartUp::LoadLibraries())
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    session.SetModel(model);
    session.SetPort(QStringLiteral("NET,127.0.0.1:%1").arg(vp.port()));
    if (session.Tspl().Create(QStringLiteral("Spruce")) != 0) {
        std::fprintf(stderr, "cannot create the printer object\n");
        return 1;
    }
    TimedDialogs dialogs;
    pellum::SetDialogs(&dialogs);
    int waited = 0;
    pellum::SetDelayHook([&waited](int ms) {
        waited += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    const QString className =
        SettingsTables::WindowClassForModel(model, [](const QString&) { return true; });
    std::printf("%s, window %s, %d rounds, loopback TCP port %d\n", qPrintable(model),
                qPrintable(className), rounds, vp.port());

    Figures open;
    Figures set;
    for (int r = 0; r < rounds; ++r) {
        session.SetFamily(pellum::FamilyTSPL);
        waited = 0;
        const auto t0 = Clock::now();
        session.Tspl().Open(session.Port()); // the button's first step
        auto w = pellum::CreateSettingsWindow(className, session.Target());
        w->show(); // FormShow: read, then fill the controls
        const auto t1 = Clock::now();
        if (!dialogs.lastText.isEmpty()) {
            std::fprintf(stderr, "read failed: %s\n", qPrintable(dialogs.lastText));
            return 1;
        }
        open.total.push_back(Ms(t1 - t0));
        open.waits.push_back(waited);

        waited = 0;
        const auto t2 = Clock::now();
        w->findChild<QPushButton*>(QStringLiteral("btnSet"))->click();
        set.total.push_back(Ms(dialogs.lastMessage - t2));
        set.waits.push_back(waited);
        dialogs.lastText.clear();
        QApplication::processEvents();
    }
    Report("open", open);
    Report("set", set);
    pellum::SetDelayHook({});
    pellum::SetDialogs(nullptr);
    return 0;
}
