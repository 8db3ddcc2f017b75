// Shows every window of the program in every language, one after the other,
// for scripts/screenshots.sh: for each window it prints
//   SHOW <switch> <window> <X window id>
// and waits for a line on standard input before it closes the window, so
// that the script can take the picture. The windows run against a scripted
// printer library that never answers (what they show after a failed read)
// and message boxes are recorded, not shown; one confirmation box per
// language shows Qt's own buttons.
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"
#include "gui/GuiWindowRegistry.h"
#include "shell/FormMain_Label_Dealer.h"
#include "shell/FormPrinterManage_Label.h"
#include "shell/GuiQtTranslations.h"
#include "shell/StartUp.h"

#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void Settle(QWidget* w) {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
    w->repaint();
    QCoreApplication::processEvents();
}

// Announces `w` and waits until the picture is taken.
void Show(const char* language, const QString& name, QWidget* w) {
    Settle(w);
    std::printf("SHOW %s %s %llu\n", language, name.toUtf8().constData(),
                static_cast<unsigned long long>(w->winId()));
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
}

QString ModelFor(const QString& className) {
    const QString prefix = QStringLiteral("T_frmParaSet_");
    if (!className.startsWith(prefix))
        return QStringLiteral("PL-Nutmeg 200");
    const QString family = className.mid(prefix.size()).section(QLatin1Char('_'), 0, 0);
    const QString first =
        pellum::text::ReadIniString(pellum::files::kModelListFile, QStringLiteral("ParameterSet"),
                                    family + QStringLiteral("_ParameterSetting"))
            .section(QLatin1Char(','), 0, 0);
    return first.isEmpty() ? QStringLiteral("PL-Nutmeg 200") : first;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pellum::test::TempProgramFolder folder;
    folder.makeCurrent();
    StartUp::InitialiseFolders(folder.programFolder());
    QFile::remove(pellum::files::FilesFolder + pellum::files::kPrinterListFile);
    pellum::test::RecordingDialogs dialogs;
    pellum::test::DelayRecorder delays;
    pellum::test::FakePrinterLibrary tspl;
    pellum::RegisterAllWindows();
    pellum::models::CacheModelLists();

    const struct {
        const char* sw;
        const char* id;
    } languages[] = {{"-EN", "1033"}, {"-CN", "2052"}, {"-TW", "1028"}, {"-JP", "1041"},
                     {"-RU", "1049"}, {"-PT", "1046"}, {"-ES", "1034"}};
    const QStringList only = app.arguments().mid(1);
    for (const auto& l : languages) {
        if (!only.isEmpty() && !only.contains(QLatin1String(l.sw)))
            continue;
        pellum::lang::LanguageId.clear();
        T_frmMain_Label_Dealer main({QLatin1String(l.sw)}, folder.programFolder());
        main.show();
        Show(l.sw, QStringLiteral("T_frmMain_Label_Dealer"), &main);
        {
            T_frmPrinterManage_Label editor(&main);
            editor.setModal(false);
            const char* ports[] = {"USB", "COM", "LPT", "NET"};
            for (int port = 0; port < 4; ++port) {
                editor.show();
                if (auto* type = editor.findChild<QComboBox*>(QStringLiteral("cmbPortType")))
                    type->setCurrentIndex(port);
                Show(l.sw, QStringLiteral("T_frmPrinterManage_Label-") + QLatin1String(ports[port]),
                     &editor);
                editor.hide();
            }
        }
        {
            QMessageBox box(QMessageBox::Question,
                            pellum::lang::Msg(QStringLiteral("_MSG_Title_Warn")),
                            pellum::lang::LangText(QStringLiteral("FormMain_Label_MSGRestore")),
                            QMessageBox::Ok | QMessageBox::Cancel, &main);
            box.show();
            Show(l.sw, QStringLiteral("ConfirmBox"), &box);
        }
        for (const QString& name : pellum::RegisteredWindowNames()) {
            pellum::PrinterTarget printer = main.Session().Target();
            printer.model = ModelFor(name);
            printer.family = pellum::FamilyTSPL;
            QTimer::singleShot(0, [&] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    Show(l.sw, name, modal);
                    modal->close();
                }
            });
            pellum::OpenRegisteredWindow(name, &main, printer);
        }
        main.hide();
    }
    pellum::InstallQtTranslations(QString());
    return 0;
}
