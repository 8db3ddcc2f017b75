// Every block-protocol settings window against the virtual printer on
// loopback TCP, through the real printer library: open on a random block,
// check every control, change every control, Set, and read the block back.
#include "connection/PrinterLibraries.h"
#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "settings/windows/FormParaSetWindows.h"

#include "TestSupport.h"
#include "WindowCases.h"

#include "../../tools/virtual-printer/testing/VirtualPrinterProcess.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace window_cases;
using pellum::test::RecordingDialogs;
using pellum::test::TempProgramFolder;
using pellum::testing::VirtualPrinterProcess;

TEST(SettingsWindowsOnVirtualPrinter, EveryWindowRoundTrip) {
    pellum::PrinterSession session;
    App();
    QStringList problems;
    ASSERT_TRUE(pellum::connection::LoadPrinterLibraries(pellum::test::BuildBinFolder(), &problems))
        << problems.join(' ').toStdString();
    TempProgramFolder folder;
    folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"), kModelLists);
    folder.makeCurrent();
    pellum::models::ClearModelListCache();
    pellum::lang::LanguageId = QStringLiteral("1033");
    pellum::lang::LoadMessageTable();
    RecordingDialogs dialogs;
    session.SetModel(QStringLiteral("ModelBT"));
    session.SetLibraryModel(QStringLiteral("Spruce"));
    ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);

    int seed = 500;
    for (const WindowCase& wc : Windows()) {
        SCOPED_TRACE(wc.className);
        ++seed;
        const bool maple = QString::fromLatin1(wc.className).contains(QLatin1String("Maple"));
        VirtualPrinterProcess vp(
            (pellum::test::BuildBinFolder() + "pellum-virtual-printer").toStdString(),
            {"--model", maple ? "PL-Maple 80" : "PL-Nutmeg 200", "--listen", "127.0.0.1:0",
             "--random-block", std::to_string(seed)});
        ASSERT_TRUE(vp.start()) << vp.error();
        session.SetPort(QStringLiteral("NET,127.0.0.1:%1").arg(vp.port()));
        session.SetFamily(pellum::FamilyTSPL);
        dialogs.messages.clear();

        if (maple) // the main window leaves the port open for the emulation query
            session.Tspl().Open(session.Port());
        auto w = pellum::CreateSettingsWindow(QString::fromLatin1(wc.className), session.Target());
        w->show();
        ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text.toStdString();
        const ParameterBlock initial = w->PrintSetting;
        ASSERT_TRUE(BlockIsValid(initial));
        const auto entries = Parse(wc.table.c_str());
        ParameterBlock expected = initial;
        for (const Entry& e : entries) {
            EXPECT_EQ(CheckShown(w.get(), e, initial), "") << e.control.toStdString();
            ChangeAndExpect(w.get(), e, expected);
        }
        SealBlock(expected);
        w->findChild<QPushButton*>(QStringLiteral("btnSet"))->click();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_ParaSet_OK")));

        ParameterBlock back{};
        QString message;
        ReadParameterBlock(session, back, message);
        ASSERT_EQ(message, QStringLiteral("OK"));
        for (int i = 0; i < kBlockSize; ++i)
            EXPECT_EQ(back[std::size_t(i)], expected[std::size_t(i)]) << "offset " << i;
    }
}
