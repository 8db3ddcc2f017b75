// A small fixture for the shell's tests: a temporary program folder with the
// shipped data files, English texts, recorded dialogs and waits, and a
// scripted TSPL library with a printer object already created.
#pragma once

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "settings/PrinterCMD.h"
#include "shell/StartUp.h"

#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>

#include <csignal>
#include <sys/resource.h>

namespace shelltest {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::make_unique<pellum::test::TempProgramFolder>();
        folder->makeCurrent();
        StartUp::InitialiseFolders(folder->programFolder());
        // Every test starts without a printer list of its own.
        QFile::remove(pellum::files::FilesFolder + pellum::files::kPrinterListFile);
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        pellum::models::ClearModelListCache();
        pellum::models::CacheModelLists();
        dialogs = std::make_unique<pellum::test::RecordingDialogs>();
        delays = std::make_unique<pellum::test::DelayRecorder>();
        tspl = std::make_unique<pellum::test::FakePrinterLibrary>();
        session.SetModel(QStringLiteral("PL-Nutmeg 200"));
        session.SetPort(QStringLiteral("NET,127.0.0.1:9100"));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetLastResult(0);
        session.portHeld = false;
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
        tspl->clear();
    }
    void TearDown() override {
        // The session's library objects go while the fake library is there.
        session.SetTarget({});
        tspl.reset();
        delays.reset();
        dialogs.reset();
        pellum::models::ClearModelListCache();
    }
    // Replaces one model list and re-reads the cache.
    void SetModelList(const QString& key, const QString& value) {
        QByteArray ini = folder->readFile(pellum::files::kModelListFile);
        QList<QByteArray> lines = ini.split('\n');
        bool replaced = false;
        for (QByteArray& line : lines)
            if (line.startsWith(key.toUtf8() + '=')) {
                line = key.toUtf8() + '=' + value.toUtf8();
                replaced = true;
            }
        if (!replaced)
            lines.append(key.toUtf8() + '=' + value.toUtf8());
        folder->writeFile(pellum::files::kModelListFile, lines.join('\n'));
        pellum::models::ClearModelListCache();
        pellum::models::CacheModelLists();
    }
    QString Msg(const char* key) const { return pellum::lang::Msg(QString::fromLatin1(key)); }

    std::unique_ptr<pellum::test::TempProgramFolder> folder;
    std::unique_ptr<pellum::test::RecordingDialogs> dialogs;
    std::unique_ptr<pellum::test::DelayRecorder> delays;
    std::unique_ptr<pellum::test::FakePrinterLibrary> tspl;
    pellum::PrinterSession session;
};

// Limits the size of files this process may write, so that writing more
// fails for real (EFBIG) even for a privileged user, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

inline QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex));
}

} // namespace shelltest
