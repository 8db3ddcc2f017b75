// The printer list file on real files in a temporary program folder.
#include "shell/PrinterList.h"

#include "ShellFixture.h"

#include <QDir>
#include <QFile>

using namespace shelltest;
using PrinterList::Entry;

namespace {

class PrinterListFile : public ShellTest {
protected:
    void Write(const QByteArray& content) {
        folder->writeFile(pellum::files::kPrinterListFile, content);
    }
    QByteArray Read() const { return folder->readFile(pellum::files::kPrinterListFile); }
    bool Exists() const { return QFile::exists(PrinterList::FilePath()); }
};

TEST_F(PrinterListFile, ReadsEntriesSkippingBlankLinesAndExtraFields) {
    Write("Alder|USB|USB\r\n\r\n   \r\nBirch|LPT|LPT1|extra\r\nPL-Nutmeg 200\r\nPL-Oak 50|NET\r\n");
    const QList<Entry> e = PrinterList::LoadPrinterList();
    ASSERT_EQ(e.size(), 4);
    EXPECT_EQ(PrinterList::EntryLine(e[0]), QStringLiteral("Alder|USB|USB"));
    EXPECT_EQ(PrinterList::EntryLine(e[1]), QStringLiteral("Birch|LPT|LPT1"));
    // Fewer than three fields: the missing ones are empty.
    EXPECT_EQ(e[2].model, QStringLiteral("PL-Nutmeg 200"));
    EXPECT_TRUE(e[2].portType.isEmpty() && e[2].port.isEmpty());
    EXPECT_EQ(e[3].portType, QStringLiteral("NET"));
    EXPECT_TRUE(e[3].port.isEmpty());
}

TEST_F(PrinterListFile, AFileWithoutEntriesGetsTheFirstModelOnUsb) {
    for (const QByteArray& content :
         {QByteArray(), QByteArray("\r\n  \r\n\t\r\n"), QByteArray("-")}) {
        if (content == "-")
            QFile::remove(PrinterList::FilePath());
        else
            Write(content);
        const QList<Entry> e = PrinterList::LoadPrinterList();
        ASSERT_EQ(e.size(), 1);
        EXPECT_EQ(PrinterList::EntryLine(e[0]),
                  pellum::files::ModelList.first() + QStringLiteral("|USB|USB"));
        EXPECT_EQ(Read(),
                  (pellum::files::ModelList.first() + QStringLiteral("|USB|USB\r\n")).toUtf8());
    }
}

TEST_F(PrinterListFile, NoModelsAndNoEntriesWritesNoBrokenLine) {
    pellum::files::ModelList.clear();
    EXPECT_TRUE(PrinterList::LoadPrinterList().isEmpty());
    EXPECT_FALSE(Exists());
    Write("\r\n");
    EXPECT_TRUE(PrinterList::LoadPrinterList().isEmpty());
    EXPECT_EQ(Read(), QByteArray("\r\n"));
}

TEST_F(PrinterListFile, SaveAfterDeletionStartsWithAnEmptyLineAndLoadsTheSame) {
    const QList<Entry> entries = {{"Alder", "USB", "USB"}, {"Birch", "NET", "NET,127.0.0.1"}};
    QString error;
    ASSERT_TRUE(PrinterList::SavePrinterList(entries, &error)) << qPrintable(error);
    EXPECT_EQ(Read(), QByteArray("\r\nAlder|USB|USB\r\nBirch|NET|NET,127.0.0.1\r\n"));
    const QList<Entry> back = PrinterList::LoadPrinterList();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(PrinterList::EntryLine(back[1]), QStringLiteral("Birch|NET|NET,127.0.0.1"));
}

TEST_F(PrinterListFile, AppendAndReplace) {
    Write("Alder|USB|USB\r\n\r\nBirch|LPT|LPT1");
    QString error;
    ASSERT_TRUE(PrinterList::AppendEntryLine(QStringLiteral("Cedar|USB|USB"), &error));
    // A last line without its line end gets one before the new line.
    EXPECT_EQ(Read(), QByteArray("Alder|USB|USB\r\n\r\nBirch|LPT|LPT1\r\nCedar|USB|USB\r\n"));
    // Entry 1 is the third physical line; the rewrite drops the blank line.
    ASSERT_TRUE(
        PrinterList::ReplaceEntryLine(1, QStringLiteral("Birch|COM|COM1,BAUDRATE_9600"), &error));
    EXPECT_EQ(Read(),
              QByteArray("Alder|USB|USB\r\nBirch|COM|COM1,BAUDRATE_9600\r\nCedar|USB|USB\r\n"));
    ASSERT_TRUE(PrinterList::ReplaceEntryLine(7, QStringLiteral("Dogwood|USB|USB"), &error));
    EXPECT_TRUE(Read().endsWith("Cedar|USB|USB\r\nDogwood|USB|USB\r\n"));
}

TEST_F(PrinterListFile, AFailedWriteLeavesTheOldFileAndReportsTheSystemText) {
    const QByteArray old = "Alder|USB|USB\r\nBirch|LPT|LPT1\r\n";
    Write(old);
    QList<Entry> many;
    for (int i = 0; i < 40; ++i)
        many.append({QStringLiteral("Model %1").arg(i), "NET", "NET,127.0.0.1"});
    struct Case {
        const char* what;
        std::function<bool(QString*)> write;
    } cases[] = {
        {"save", [&](QString* e) { return PrinterList::SavePrinterList(many, e); }},
        {"append", [&](QString* e) { return PrinterList::AppendEntryLine(QString(300, 'x'), e); }},
        {"replace",
         [&](QString* e) { return PrinterList::ReplaceEntryLine(0, QString(300, 'x'), e); }},
    };
    for (const Case& c : cases) {
        QString error;
        bool ok = true;
        {
            FileSizeLimit limit(64);
            ok = c.write(&error);
        }
        EXPECT_FALSE(ok) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_EQ(Read(), old) << c.what;
        // No temporary file is left beside it.
        EXPECT_EQ(QDir(folder->filesFolder()).entryList({"PrinterList*"}, QDir::Files),
                  QStringList{"PrinterList.txt"})
            << c.what;
    }
}

TEST_F(PrinterListFile, AMissingFolderIsReportedNotIgnored) {
    pellum::files::FilesFolder = folder->programFolder() + QStringLiteral("no-such-folder/");
    QString error;
    EXPECT_FALSE(PrinterList::SavePrinterList({{"Alder", "USB", "USB"}}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(PrinterListFile, PortNamesComeFromThePortMapToo) {
    folder->writeFile(
        QStringLiteral("PortMap.ini"),
        "[Ports]\nCOM1=/tmp/pellum-test-com1\nCOM3=/tmp/pellum-test-com3\nLPT2=/tmp/lp\n");
    const QStringList com = PrinterList::EnumSystemPorts(QStringLiteral("COM"));
    EXPECT_TRUE(com.contains(QStringLiteral("COM1:")));
    EXPECT_TRUE(com.contains(QStringLiteral("COM3:")));
    EXPECT_EQ(com.first(), QStringLiteral("COM1:"));
    for (const QString& name : com)
        EXPECT_TRUE(name.startsWith(QLatin1String("COM")) && name.endsWith(QLatin1Char(':')));
    EXPECT_TRUE(
        PrinterList::EnumSystemPorts(QStringLiteral("LPT")).contains(QStringLiteral("LPT2:")));
}

} // namespace
