// The main window's service functions, the identity queries and the
// key-value commands of pellumctl against the virtual printer on 127.0.0.1,
// through the real printer libraries.
#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"
#include "settings/ServiceFunctions.h"
#include "shell/StartUp.h"

#include "core/Family.h"

#include "TestSupport.h"
#include "VirtualPrinterProcess.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using pellum::testing::VirtualPrinterProcess;

namespace {

std::string VirtualPrinterPath() {
    return (pellum::test::BuildBinFolder() + QStringLiteral("pellum-virtual-printer"))
        .toStdString();
}

std::unique_ptr<VirtualPrinterProcess> StartPrinter(const std::string& model,
                                                    std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--model", model, "--listen", "127.0.0.1:0"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto vp = std::make_unique<VirtualPrinterProcess>(VirtualPrinterPath(), args);
    EXPECT_TRUE(vp->start()) << vp->error();
    return vp;
}

QString PortOf(const VirtualPrinterProcess& vp) {
    return QStringLiteral("NET,127.0.0.1:%1").arg(vp.port());
}

class ShellAgainstVirtualPrinter : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override { ASSERT_TRUE(pellum::test::UseBuiltProgram()); }
    void Select(const QString& model, const VirtualPrinterProcess& vp) {
        session.SetModel(model);
        session.SetPort(PortOf(vp));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
    }
    pellum::test::RecordingDialogs dialogs;
};

TEST_F(ShellAgainstVirtualPrinter, ServiceFunctionsSendTheirBytes) {
    struct Case {
        const char* model;
        int emulation; // -1: the model's own
        std::function<void(pellum::PrinterSession&)> run;
        const char* kind; // the journal kind the printer records
        const char* hex;  // the bytes it received ("" = not checked)
        const char* key;  // key-value: the key of the "do" line
    } cases[] = {
        {"PL-Maple 80", 0, ServiceFunctions::PrintConfigPage, "config-page", "1D 28 41 02 00 00 01",
         ""},
        {"PL-Cedar 80BT", 0, ServiceFunctions::PrintConfigPage, "config-page",
         "1D 28 41 02 00 00 02", ""},
        {"PL-Nutmeg 200", -1, ServiceFunctions::PrintConfigPage, "self-test", "", ""},
        {"PL-Kapok 420", -1, ServiceFunctions::PrintConfigPage, "do", "", "configguration_page"},
        {"PL-Nutmeg 200", -1, ServiceFunctions::StartLearn, "learn",
         "5A 5A 5A 4C 45 41 52 4E 0D 0A", ""},
        {"PL-Kapok 420", -1, ServiceFunctions::StartLearn, "do", "", "calibrate_sensor"},
        {"PL-Nutmeg 200", -1, ServiceFunctions::ModuleTest, "density-test", "", ""},
        {"PL-Maple 112", 0, ServiceFunctions::ModuleTest, "module-test", "1B 1B 04", ""},
        {"PL-Maple 80", 0, ServiceFunctions::ModuleTest, "module-test", "12 56", ""},
        {"PL-Kapok 420", -1, ServiceFunctions::ModuleTest, "do", "", "tph_test_page"},
        {"PL-Maple 80", 0, [](pellum::PrinterSession& s) { ServiceFunctions::FactoryDefault(s); },
         "factory-default", "1B 1B 20", ""},
        {"PL-Maple 80", 1, [](pellum::PrinterSession& s) { ServiceFunctions::FactoryDefault(s); },
         "factory-default", "1B 21 52", ""},
        {"PL-Kapok 420", -1, [](pellum::PrinterSession& s) { ServiceFunctions::FactoryDefault(s); },
         "do", "", "factory_default"},
        {"PL-Kapok 420", -1, ServiceFunctions::SensorGraph, "do", "", "graph_sensor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " -> " + c.kind + " " + c.hex + c.key);
        std::vector<std::string> extra;
        if (c.emulation >= 0)
            extra = {"--emulation", std::to_string(c.emulation)};
        auto vp = StartPrinter(c.model, extra);
        Select(QString::fromLatin1(c.model), *vp);
        dialogs.messages.clear();
        ASSERT_TRUE(ServiceFunctions::OpenForFunction(session));
        if (c.emulation >= 0) {
            EXPECT_EQ(session.Family(), c.emulation);
        }
        c.run(session);
        EXPECT_EQ(session.LastResult(), 0);
        EXPECT_TRUE(dialogs.messages.empty());
        std::string line;
        ASSERT_TRUE(vp->waitForKind(c.kind, 3000, &line));
        if (*c.hex) {
            EXPECT_EQ(VirtualPrinterProcess::field(line, "hex"), c.hex);
        }
        if (*c.key) {
            EXPECT_EQ(VirtualPrinterProcess::field(line, "key"), c.key);
        }
        // Nothing else reached the printer (only the emulation query before).
        // A key-value action connects anew just after the function's own
        // connection closed; the printer may see the two overlap.
        ASSERT_TRUE(vp->waitForKind("disconnect", 3000));
        for (const std::string& l : vp->journalLines()) {
            const std::string kind = VirtualPrinterProcess::field(l, "kind");
            EXPECT_TRUE(kind == c.kind || kind == "emulation-query" || kind == "getval" ||
                        kind == "connect" || kind == "disconnect" || kind == "start" ||
                        kind == "control" || kind == "connection-waiting")
                << l;
        }
    }
}

TEST_F(ShellAgainstVirtualPrinter, CancelledFactoryDefaultsSendNothing) {
    auto vp = StartPrinter("PL-Maple 80", {"--emulation", "0"});
    Select(QStringLiteral("PL-Maple 80"), *vp);
    dialogs.confirmAnswers = {false};
    ASSERT_TRUE(ServiceFunctions::OpenForFunction(session));
    EXPECT_FALSE(ServiceFunctions::FactoryDefault(session));
    ASSERT_TRUE(vp->waitForKind("disconnect", 3000));
    EXPECT_FALSE(vp->waitForKind("factory-default", 300));
}

TEST_F(ShellAgainstVirtualPrinter, IdentityOfBothKindsAndTheFirmwareRule) {
    {
        auto vp = StartPrinter("PL-Sumac 330", {"--version", "1.2.5.3"});
        Select(QStringLiteral("PL-Sumac 330"), *vp);
        EXPECT_TRUE(IdentityQueries::CheckFirmwareVersion(session, QStringLiteral("1.0.0")));
        EXPECT_FALSE(IdentityQueries::CheckFirmwareVersion(session, QStringLiteral("1.3.0")));
        ASSERT_EQ(session.Tspl().Open(session.Port()), 0);
        EXPECT_EQ(IdentityQueries::ReadFirmwareVersion(session), QStringLiteral("V 1.2.5.Beta3"));
        EXPECT_TRUE(IdentityQueries::ReadPrintedLength(session).endsWith(QStringLiteral(" (m)")));
        EXPECT_FALSE(IdentityQueries::ReadSerialNumber(session).isEmpty());
        session.Tspl().Close();
    }
    {
        auto vp = StartPrinter("PL-Poplar 460", {"--version", "0.9.0"});
        Select(QStringLiteral("PL-Poplar 460"), *vp);
        EXPECT_FALSE(IdentityQueries::CheckFirmwareVersion(session, QStringLiteral("1.0.0")));
    }
    {
        auto vp = StartPrinter("PL-Kapok 420", {"--emulation", "5"});
        Select(QStringLiteral("PL-Kapok 420"), *vp);
        ASSERT_TRUE(PrinterCMD::CmdOpen(session));
        EXPECT_EQ(IdentityQueries::QueryEmulation(session), 5);
        const QString version = PrinterCMD::CmdGetVal(session, QStringLiteral("version"));
        EXPECT_EQ(IdentityQueries::ReadFirmwareVersion(session), version);
        EXPECT_TRUE(IdentityQueries::ReadPrintedLength(session).endsWith(QLatin1Char('m')));
        PrinterCMD::CmdClose(session);
    }
}

// pellumctl against the virtual printer.
struct CtlResult {
    int exitCode = -1;
    QString out;
    QString err;
};

CtlResult Ctl(const QStringList& args) {
    QProcess p;
    p.start(pellum::test::BuildBinFolder() + QStringLiteral("pellumctl"), args);
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST_F(ShellAgainstVirtualPrinter, PellumctlKeyValueCommands) {
    auto vp = StartPrinter("PL-Kapok 420");
    const QStringList printer = {"--model", "PL-Kapok 420", "--port", PortOf(*vp)};

    CtlResult r = Ctl(printer + QStringList{"setval", "bt_name", "Shop-PRN"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    r = Ctl(printer + QStringList{"getval", "bt_name"});
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("shop-prn")) << qPrintable(r.err);
    r = Ctl(printer + QStringList{"setval", "--exact", "bt_name", "Shop-PRN"});
    r = Ctl(printer + QStringList{"getval", "bt_name"});
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("Shop-PRN"));

    r = Ctl(printer + QStringList{"do", "reset_printer"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    std::string line;
    ASSERT_TRUE(vp->waitForKind("do", 3000, &line));
    EXPECT_EQ(VirtualPrinterProcess::field(line, "hex"),
              "1B 1C 26 20 56 31 20 64 6F 20 22 72 65 73 65 74 5F 70 72 69 6E 74 65 72 22 0D 0A");

    r = Ctl(printer + QStringList{"do", "print", "bitmaps", "E_LOGO.GRF"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);

    r = Ctl(printer + QStringList{"identity"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const QStringList lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << qPrintable(r.out);
    EXPECT_TRUE(lines[0].startsWith("emulation code: "));
    EXPECT_TRUE(lines[1].startsWith("firmware version: "));
    EXPECT_TRUE(lines[2].startsWith("printed length: ") && lines[2].endsWith('m'));
    EXPECT_TRUE(lines[3].startsWith("serial number: "));

    // A quote would break the line: refused before anything is sent.
    r = Ctl(printer + QStringList{"setval", "bt_name", "a\"b"});
    EXPECT_EQ(r.exitCode, 2);

    // Factory defaults need the confirmation.
    r = Ctl(printer + QStringList{"service", "factory-default"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(vp->waitForLine(
        [](const std::string& l) {
            return VirtualPrinterProcess::field(l, "key") == "factory_default";
        },
        300));
    r = Ctl(QStringList{"--yes"} + printer + QStringList{"service", "factory-default"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_TRUE(vp->waitForLine(
        [](const std::string& l) {
            return VirtualPrinterProcess::field(l, "key") == "factory_default";
        },
        3000));
}

TEST_F(ShellAgainstVirtualPrinter, PellumctlServiceAndIdentityOfABlockModel) {
    auto vp = StartPrinter("PL-Maple 80", {"--emulation", "0", "--version", "2.1.7"});
    const QStringList printer = {"--model", "PL-Maple 80", "--port", PortOf(*vp)};
    CtlResult r = Ctl(printer + QStringList{"service", "config-page"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    std::string line;
    ASSERT_TRUE(vp->waitForKind("config-page", 3000, &line));
    EXPECT_EQ(VirtualPrinterProcess::field(line, "hex"), "1D 28 41 02 00 00 01");

    r = Ctl(printer + QStringList{"identity"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("emulation code: 0\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("firmware version: V 2.1.7\n"))) << qPrintable(r.out);

    r = Ctl(printer + QStringList{"service", "dfu-mode"});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.err);
    ASSERT_TRUE(vp->waitForKind("dfu-mode", 3000));

    // Nothing listens on this port: the open failure is the message and code.
    vp.reset();
    r = Ctl(printer + QStringList{"service", "learn"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")) + ':'))
        << qPrintable(r.err);
}

TEST(PellumctlKeyValueUsage, WrongFormsExitTwoBeforeAnyConnection) {
    // The port names a loopback port where nothing listens: reaching it would
    // give exit 1, not 2.
    const QStringList printer = {"--model", "PL-Kapok 420", "--port", "NET,127.0.0.1:1"};
    const QStringList cases[] = {
        {"getval"},
        {"getval", "a", "b"},
        {"getval", "den\"sity"},
        {"setval", "density"},
        {"setval", "--exact", "bt_name"},
        {"do"},
        {"do", "print", "bitmaps", "LOGO", "extra"},
        {"identity", "now"},
        {"service"},
        {"service", "reboot"},
    };
    for (const QStringList& c : cases) {
        const CtlResult r = Ctl(printer + c);
        EXPECT_EQ(r.exitCode, 2) << qPrintable(c.join(' ')) << ": " << qPrintable(r.err);
        EXPECT_FALSE(r.err.isEmpty());
    }
}

} // namespace
