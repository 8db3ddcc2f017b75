// Test printing, printer information and the command console against the
// virtual printer on 127.0.0.1, through the real printer libraries: the
// printer's journal shows which jobs and commands it recognised. pellumctl's
// info and print-text run as separate processes against it too.
#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "diagnostics/FormCommandTest.h"
#include "diagnostics/PrinterInformation.h"
#include "diagnostics/TestPrintJobs.h"
#include "settings/PrinterCMD.h"
#include "shell/StartUp.h"

#include "core/Family.h"

#include "TestSupport.h"
#include "VirtualPrinterProcess.h"

#include <QCheckBox>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>

using pellum::testing::VirtualPrinterProcess;

namespace {

std::string VirtualPrinterPath() {
    return (pellum::test::BuildBinFolder() + QStringLiteral("pellum-virtual-printer"))
        .toStdString();
}

std::unique_ptr<VirtualPrinterProcess> StartPrinter(const std::string& model) {
    auto vp = std::make_unique<VirtualPrinterProcess>(
        VirtualPrinterPath(),
        std::vector<std::string>{"--model", model, "--listen", "127.0.0.1:0"});
    EXPECT_TRUE(vp->start()) << vp->error();
    return vp;
}

QString PortOf(const VirtualPrinterProcess& vp) {
    return QStringLiteral("NET,127.0.0.1:%1").arg(vp.port());
}

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

class DiagnosticsAgainstVirtualPrinter : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override { ASSERT_TRUE(pellum::test::UseBuiltProgram()); }
    void Select(const QString& model, const VirtualPrinterProcess& vp, int family) {
        session.SetModel(model);
        session.SetLibraryModel(QStringLiteral("Spruce"));
        session.SetPort(PortOf(vp));
        session.SetFamily(family);
        ASSERT_EQ(session.Tspl().Create(session.LibraryModel()), 0);
    }
    pellum::test::RecordingDialogs dialogs;
};

TEST_F(DiagnosticsAgainstVirtualPrinter, LabelJobIsRecognised) {
    const struct {
        const char* model;
        const char* font; // the TEXT line's size part
    } cases[] = {{"PL-Nutmeg 200", "0,1,1"}, {"PL-Poplar 460", "0,50,50"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        auto vp = StartPrinter(c.model);
        Select(QString::fromLatin1(c.model), *vp, pellum::FamilyTSPL);
        const auto outcome = TestPrintJobs::PrintLabel(session, QStringLiteral("AB\nCD\n"),
                                                       QStringLiteral("40"), "30");
        EXPECT_EQ(outcome.step, TestPrintJobs::Outcome::Done);
        std::string job;
        ASSERT_TRUE(vp->waitForKind("job-tspl", 3000, &job));
        EXPECT_EQ(VirtualPrinterProcess::field(job, "size"), "40 mm,30 mm");
        EXPECT_EQ(VirtualPrinterProcess::field(job, "print"), "1");
        EXPECT_EQ(VirtualPrinterProcess::field(job, "complete"), "true");
        EXPECT_TRUE(Has(job, "\"texts\":[\"AB\",\"CD\",\"\"]")) << job;
        EXPECT_TRUE(Has(job, std::string("TEXT 10,64,\\\"9\\\",") + c.font)) << job;
        EXPECT_TRUE(Has(job, "TEXT 10,118,")) << job;
    }
}

TEST_F(DiagnosticsAgainstVirtualPrinter, TextJobsOfTheOtherFamilies) {
    const struct {
        const char* model;
        int family;
        const char* kind;
        const char* part; // expected in the journal line
    } cases[] = {
        {"PL-Nutmeg 200", pellum::FamilyZPL, "job-zpl", "\"fonts\":[\"SIMSUN.TTF\"]"},
        {"PL-Nutmeg 200", pellum::FamilyEPL, "job-epl", "\"texts\":[\"Hello\"]"},
        {"PL-Nutmeg 200", pellum::FamilyCPCL, "text", "\"text\":\"Hello\""},
        {"PL-Maple 80", pellum::FamilyESC, "text", "\"hex\":\"48 65 6C 6C 6F 0A\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        auto vp = StartPrinter(c.model);
        Select(QString::fromLatin1(c.model), *vp, c.family);
        EXPECT_EQ(TestPrintJobs::PrintText(session, QStringLiteral("Hello"), 0).step,
                  TestPrintJobs::Outcome::Done);
        std::string line;
        ASSERT_TRUE(vp->waitForKind(c.kind, 3000, &line));
        EXPECT_TRUE(Has(line, c.part)) << line;
    }
    // A model of "Send1B53First" puts the printer in standard mode first.
    auto vp = StartPrinter("PL-Maple 112");
    Select(QStringLiteral("PL-Maple 112"), *vp, pellum::FamilyESC);
    EXPECT_EQ(TestPrintJobs::PrintText(session, QStringLiteral("Hi"), 65001).step,
              TestPrintJobs::Outcome::Done);
    ASSERT_TRUE(vp->waitForKind("text", 3000));
    std::vector<std::string> kinds;
    for (const std::string& l : vp->journalLines()) {
        const std::string k = VirtualPrinterProcess::field(l, "kind");
        if (k == "esc-standard-mode" || k == "text")
            kinds.push_back(k);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"esc-standard-mode", "text"}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(DiagnosticsAgainstVirtualPrinter, PrinterInformationOfEachKind) {
    const struct {
        const char* model;
        const char* serial;
        bool brisa;
        const char* version;
        double metres; // < 0: key-value text
        const char* lengthText;
    } cases[] = {
        {"PL-Nutmeg 200", "N200B6110042", false, "V 2.1.5", 1234.5, ""},
        {"PL-Dogwood 420", "6651D4200077", true, "V 3.0.1", 4210.2, ""},
        {"PL-Kapok 420", "K420A6160031", false, "1.00.12", -1, "120m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        auto vp = StartPrinter(c.model);
        Select(QString::fromLatin1(c.model), *vp, pellum::FamilyTSPL);
        const PrinterInformation::Facts facts = PrinterInformation::ReadFacts(session);
        ASSERT_TRUE(facts.opened);
        EXPECT_EQ(facts.serial, QString::fromLatin1(c.serial));
        EXPECT_EQ(facts.firmwareVersion, QString::fromLatin1(c.version));
        QLocale locale = QLocale::system();
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        const QString length = c.metres >= 0
                                   ? locale.toString(c.metres, 'g', 15) + QStringLiteral(" (m)")
                                   : QString::fromLatin1(c.lengthText);
        EXPECT_EQ(facts.printedLength, length);
        const QDate date =
            PrinterInformation::ProduceDate(facts.serial, c.brisa, QDate::currentDate());
        ASSERT_TRUE(date.isValid());
        EXPECT_EQ(date.dayOfWeek(), 1);
        EXPECT_EQ(facts.produceDate, QLocale::system().toString(date, QLocale::ShortFormat));
    }
}

TEST_F(DiagnosticsAgainstVirtualPrinter, ConsoleExchangesRawBytes) {
    auto vp = StartPrinter("PL-Nutmeg 200");
    Select(QStringLiteral("PL-Nutmeg 200"), *vp, pellum::FamilyTSPL);
    T_frmCommandTest w(session.Target());
    w.show();
    ASSERT_TRUE(dialogs.messages.empty());
    w.findChild<QCheckBox*>(QStringLiteral("chkSendAndRead"))->setChecked(true);
    auto* page = w.Page(0);
    auto* received = w.findChild<QTextEdit*>(QStringLiteral("txtReadData"));
    auto* send = w.findChild<QPushButton*>(QStringLiteral("btnSend"));

    page->setPlainText(QStringLiteral("0x1B,0x1B,0x08"));
    send->click();
    ASSERT_TRUE(vp->waitForKind("emulation-query", 3000));
    EXPECT_EQ(received->toPlainText(), QStringLiteral("01 "));

    // Text mode: the command line as typed, CR LF at the line break.
    page->clear();
    w.findChild<QRadioButton*>(QStringLiteral("rdoChar"))->click();
    page->setPlainText(QStringLiteral("ZZZGETVERSION\n"));
    send->click();
    std::string line;
    ASSERT_TRUE(vp->waitForKind("version-query", 3000, &line));
    EXPECT_EQ(VirtualPrinterProcess::field(line, "hex"),
              "5A 5A 5A 47 45 54 56 45 52 53 49 4F 4E 0D 0A");
    EXPECT_EQ(received->toPlainText(), QStringLiteral("01 02 01 05 "));
    for (const auto& m : dialogs.messages)
        ADD_FAILURE() << m.text.toStdString();
    w.close();
}

// pellumctl as a separate process.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun Pellumctl(const QStringList& args) {
    QProcess p;
    p.setProgram(pellum::test::BuildBinFolder() + QStringLiteral("pellumctl"));
    p.setArguments(args);
    p.start();
    CliRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TEST_F(DiagnosticsAgainstVirtualPrinter, PellumctlInfoAndPrintText) {
    auto vp = StartPrinter("PL-Dogwood 420");
    const QStringList printer = {QStringLiteral("--model"), QStringLiteral("PL-Dogwood 420"),
                                 QStringLiteral("--port"), PortOf(*vp)};
    CliRun r = Pellumctl(printer + QStringList{QStringLiteral("info")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("firmware version: V 3.0.1"));
    EXPECT_EQ(lines[1], QStringLiteral("serial number: 6651D4200077"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("printed length: 4210")))
        << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("production date: ") +
                            QLocale::system().toString(QDate(2026, 3, 9), QLocale::ShortFormat));

    // Width 200 on a 108 mm model becomes 108, height 5 becomes 10.
    r = Pellumctl(printer + QStringList{QStringLiteral("print-text"), QStringLiteral("--width"),
                                        QStringLiteral("200"), QStringLiteral("--height"),
                                        QStringLiteral("5"), QStringLiteral("Hello\nWorld")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::string job;
    ASSERT_TRUE(vp->waitForKind("job-tspl", 3000, &job));
    EXPECT_EQ(VirtualPrinterProcess::field(job, "size"), "108 mm,10 mm");
    EXPECT_TRUE(Has(job, "\"texts\":[\"Hello\",\"World\"]")) << job;

    // With --family 4 the same command sends the ZPL job.
    r = Pellumctl(QStringList{QStringLiteral("--family"), QStringLiteral("4")} + printer +
                  QStringList{QStringLiteral("print-text"), QStringLiteral("Hi")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_TRUE(vp->waitForKind("job-zpl", 3000, &job));
    EXPECT_TRUE(Has(job, "\"texts\":[\"Hi\"]")) << job;
}

TEST_F(DiagnosticsAgainstVirtualPrinter, PellumctlErrors) {
    const struct {
        QStringList args;
        int exitCode;
        const char* inErr;
    } cases[] = {
        {{"print-text"}, 2, "TEXT"},
        {{"print-text", "--width"}, 2, "--width"},
        {{"print-text", "--width", "wide", "Hi"}, 2, "--width"},
        {{"print-text", "   "}, 2, ""},
        {{"info", "extra"}, 2, "no arguments"},
        // Nothing listens on port 1 of the loopback address.
        {{"--port", "NET,127.0.0.1:1", "info"}, 1, ":"},
        {{"--port", "NET,127.0.0.1:1", "print-text", "Hi"}, 1, ":"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = Pellumctl(
            QStringList{QStringLiteral("--model"), QStringLiteral("PL-Nutmeg 200")} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.inErr))) << r.err.toStdString();
        if (c.exitCode == 1) {
            EXPECT_TRUE(r.err.contains(pellum::lang::Msg(QStringLiteral("_Err_OpenPort"))))
                << r.err.toStdString();
        }
    }
}

} // namespace
