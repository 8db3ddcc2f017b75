// pellumctl block and settings against the virtual printer on loopback.
#include "TestSupport.h"

#include "../../tools/virtual-printer/testing/VirtualPrinterProcess.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using pellum::testing::VirtualPrinterProcess;

namespace {

struct CtlResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class SettingsCli : public ::testing::Test {
protected:
    void StartPrinter(std::vector<std::string> args) {
        args.insert(args.end(), {"--listen", "127.0.0.1:0"});
        vp = std::make_unique<VirtualPrinterProcess>(
            (pellum::test::BuildBinFolder() + "pellum-virtual-printer").toStdString(), args);
        ASSERT_TRUE(vp->start()) << vp->error();
    }

    CtlResult Ctl(const QString& model, const QStringList& command) {
        QProcess p;
        QStringList args{"--model", model, "--port",
                         QStringLiteral("NET,127.0.0.1:%1").arg(vp->port())};
        args += command;
        p.start(pellum::test::BuildBinFolder() + "pellumctl", args);
        p.waitForFinished(20000);
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

    QByteArray ReadBlock(const QString& model) {
        const QString file = dir.filePath("block.bin");
        QFile::remove(file);
        const CtlResult r = Ctl(model, {"block", "read", "--out", file});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static QMap<QString, QString> Settings(const QString& out) {
        QMap<QString, QString> m;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
            const auto eq = line.indexOf('=');
            m.insert(line.left(eq), line.mid(eq + 1));
        }
        return m;
    }

    std::unique_ptr<VirtualPrinterProcess> vp;
    QTemporaryDir dir;
};

} // namespace

TEST_F(SettingsCli, ShowAndSetNutmeg) {
    const QString model = QStringLiteral("PL-Nutmeg 200");
    StartPrinter({"--model", model.toStdString(), "--random-block", "3"});
    const QByteArray before = ReadBlock(model);
    ASSERT_EQ(before.size(), 256);

    const CtlResult hex = Ctl(model, {"block", "read"});
    EXPECT_EQ(hex.out.trimmed(), QString::fromLatin1(before.toHex(' ').toUpper()));

    CtlResult show = Ctl(model, {"settings", "show"});
    ASSERT_EQ(show.exitCode, 0) << show.err.toStdString();
    auto s = Settings(show.out);
    EXPECT_EQ(s.size(), 30);
    EXPECT_EQ(s.value("txtIP2"), QString::number(quint8(before[89])));
    EXPECT_EQ(s.value("txtStopPrint"), QString::number(quint8(before[114])));

    const CtlResult set =
        Ctl(model, {"settings", "set", "cmbDensity=3", "txtLabelMaxLength=100", "txtIP1=255",
                    "cmbHeatAdj=-5", "cmbParity=odd", "txtMarkMaxLength=400"});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    s = Settings(set.out);
    EXPECT_EQ(s.value("cmbDensity"), "3");
    EXPECT_EQ(s.value("cmbParity"), "ODD");
    EXPECT_EQ(s.value("txtMarkMaxLength"), "400");
    const QByteArray after = ReadBlock(model);
    ASSERT_EQ(after.size(), 256);
    EXPECT_EQ(quint8(after[34]), 3);
    EXPECT_EQ(after.mid(70, 2), QByteArray::fromHex("2003"));
    EXPECT_EQ(after.mid(68, 2), QByteArray::fromHex("800C"));
    EXPECT_EQ(quint8(after[88]), 255);
    EXPECT_EQ(after.mid(130, 2), QByteArray::fromHex("FBFF"));
    EXPECT_EQ(quint8(after[105]), 1);
    // Bytes no setting covers stay as they were.
    for (int i : {0, 1, 2, 3, 5, 6, 33, 57, 60, 85, 150, 200, 253})
        EXPECT_EQ(after[i], before[i]) << i;
}

TEST_F(SettingsCli, RefusedValuesWriteNothing) {
    const QString model = QStringLiteral("PL-Nutmeg 200");
    StartPrinter({"--model", model.toStdString(), "--random-block", "4"});
    const QByteArray before = ReadBlock(model);
    const struct {
        QStringList args;
        const char* named; // what the message must name ("" any)
    } cases[] = {
        {{"nosuch=1"}, "nosuch"},
        {{"cmbDensity=3", "cmbDensity=16"}, "cmbDensity"},
        {{"txtIP1=12a"}, "txtIP1"},
        {{"txtStopPrint=1000"}, "txtStopPrint"},
        {{"txtLabelMinLength="}, "txtLabelMinLength"},
        {{"cmbDensity"}, ""},
        // Out of range: refused with the field and its range, never cut to
        // the low 8 bits (999 would be 231) or corrected to the nearest end.
        {{"cmbDensity=3", "txtIP1=999"}, "txtIP1 takes 0-255"},
        {{"txtGateway4=256"}, "txtGateway4 takes 0-255"},
        {{"txtMarkMaxLength=401"}, "txtMarkMaxLength takes 38-400"},
        {{"txtLabelMaxLength=37"}, "txtLabelMaxLength takes 38-400"},
        {{"txtLabelMinLength=501"}, "txtLabelMinLength takes 0-500"},
        {{"txtStopPrint=256"}, "txtStopPrint takes 0-255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const std::size_t journal = vp->journalLines().size();
        const CtlResult r = Ctl(model, QStringList{"settings", "set"} + c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.named))) << r.err.toStdString();
        // Nothing but the connection reached the printer: no block read or
        // write.
        const auto& lines = vp->journalLines();
        for (std::size_t i = journal; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].find("\"kind\":\"block"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(ReadBlock(model), before);
}

TEST_F(SettingsCli, FirmwareChoosesTheVarroWindow) {
    const QString model = QStringLiteral("PL-Poplar 460");
    StartPrinter({"--model", model.toStdString(), "--random-block", "5", "--version", "0.9.0"});
    const CtlResult show = Ctl(model, {"settings", "show"});
    ASSERT_EQ(show.exitCode, 0) << show.err.toStdString();
    const auto s = Settings(show.out);
    EXPECT_TRUE(s.contains("cmbPrintSpeed"));
    EXPECT_FALSE(s.contains("txtLabelMinLength"));
}

TEST_F(SettingsCli, BlockWriteRenewsTheChecksum) {
    const QString model = QStringLiteral("PL-Birch 220");
    StartPrinter({"--model", model.toStdString(), "--random-block", "6"});
    QByteArray block = ReadBlock(model);
    ASSERT_EQ(block.size(), 256);
    block[34] = 9;
    block[254] = 0; // a stale checksum is replaced
    const QString file = dir.filePath("new.bin");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(block);
    }
    const CtlResult w = Ctl(model, {"block", "write", file});
    ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();
    const QByteArray after = ReadBlock(model);
    EXPECT_EQ(after.left(254), block.left(254));
    quint16 sum = 0;
    for (int i = 0; i < 254; ++i)
        sum = quint16(sum + quint8(block[i]));
    EXPECT_EQ(quint8(after[254]), sum & 0xFF);
    EXPECT_EQ(quint8(after[255]), sum >> 8);

    // Not a block: wrong size or no marker.
    QFile small(dir.filePath("small.bin"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write("xyz");
    small.close();
    EXPECT_NE(Ctl(model, {"block", "write", small.fileName()}).exitCode, 0);
    block[0] = 0x11;
    QFile bad(dir.filePath("bad.bin"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(block);
    bad.close();
    EXPECT_NE(Ctl(model, {"block", "write", bad.fileName()}).exitCode, 0);
    EXPECT_EQ(ReadBlock(model).left(254), after.left(254));
}
