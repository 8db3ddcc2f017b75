// The desktop program's start-up under the offscreen platform.
#include "shell/FormMain_Label_Dealer.h"
#include "shell/FormPrinterManage_Label.h"

#include "GuiTestApp.h"
#include "ShellFixture.h"

#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>

using namespace shelltest;

namespace {

class StartUpWindow : public ShellTest {
protected:
    void SetUp() override {
        GuiApp();
        ShellTest::SetUp();
        pellum::lang::LanguageId.clear();
        pellum::models::ClearModelListCache();
    }
};

TEST_F(StartUpWindow, TitleAndLanguageFromTheSwitch) {
    struct Case {
        QStringList args;
        const char* language;
    } cases[] = {{{"-EN"}, "1033"}, {{"-CN", "-EN"}, "2052"}, {{"-TW"}, "1028"}, {{"-JP"}, "1041"}};
    for (const Case& c : cases) {
        pellum::lang::LanguageId.clear();
        T_frmMain_Label_Dealer window(c.args, folder->programFolder());
        window.show();
        EXPECT_EQ(pellum::lang::LanguageId, QLatin1String(c.language));
        const QString caption = pellum::lang::LangText(QStringLiteral("FormMain_Label_Caption"));
        EXPECT_FALSE(caption.isEmpty());
        EXPECT_EQ(window.windowTitle(), caption + QStringLiteral("  V1.0.0"));
        EXPECT_EQ(window.findChild<QPushButton*>("btnQuit")->text(),
                  pellum::lang::LangText(QStringLiteral("FormMain_Label_btnQuit")));
        EXPECT_EQ(session.Family(), 1);
        // The first entry is selected and its printer object created.
        EXPECT_EQ(session.Model(), pellum::files::ModelList.first());
        EXPECT_EQ(tspl->callsOf("create").size(), 1u);
        tspl->clear();
    }
}

TEST_F(StartUpWindow, MissingLanguageFileGivesEmptyTextsAndNoCrash) {
    QFile::remove(folder->filesFolder() + pellum::files::kLanguageFile);
    T_frmMain_Label_Dealer window({QStringLiteral("-EN")}, folder->programFolder());
    window.show();
    EXPECT_EQ(window.windowTitle().trimmed(), QString());
    EXPECT_TRUE(window.findChild<QPushButton*>("btnAddPrinter")->text().isEmpty());
    EXPECT_TRUE(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")).isEmpty());
    EXPECT_EQ(window.findChild<QTreeWidget*>("lvPrinterList")->topLevelItemCount(), 1);
}

TEST_F(StartUpWindow, NoCatalogueAndNoPrinterListLeaveOnlyAddAndQuit) {
    QFile::remove(folder->filesFolder() + pellum::files::kModelFile);
    T_frmMain_Label_Dealer window({}, folder->programFolder());
    window.show();
    EXPECT_TRUE(pellum::files::ModelList.isEmpty());
    EXPECT_FALSE(QFile::exists(folder->filesFolder() + pellum::files::kPrinterListFile));
    EXPECT_EQ(window.findChild<QTreeWidget*>("lvPrinterList")->topLevelItemCount(), 0);
    EXPECT_TRUE(window.findChild<QPushButton*>("btnAddPrinter")->isEnabled());
    EXPECT_TRUE(window.findChild<QPushButton*>("btnQuit")->isEnabled());
    for (const char* name : {"btnModifyPrinter", "btnDeletePrinter", "btnConnectTest"})
        EXPECT_FALSE(window.findChild<QPushButton*>(name)->isEnabled()) << name;
    EXPECT_FALSE(window.findChild<QGroupBox*>("gpbFunction")->isEnabled());
    EXPECT_TRUE(tspl->ops().empty()); // no printer object for a printer that does not exist
    EXPECT_TRUE(dialogs->messages.empty());
    // The editor offers nothing to save.
    window.Editor().FormShow();
    EXPECT_FALSE(window.Editor().findChild<QPushButton*>("btnOK")->isEnabled());
}

} // namespace
