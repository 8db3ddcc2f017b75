// A small fixture for the diagnostics tests: a temporary program folder with
// the shipped files and a model-list file of its own, English texts, recorded
// dialogs and waits, and scripted TSPL, CPCL and ESC libraries.
//
// The ANSI code page of the test programs is 936 (GBK), so that double-byte
// characters can be tested; ASCII is the same in every code page.
#pragma once

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "settings/PrinterCMD.h"

#include "TestSupport.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <memory>

namespace diagtest {

// Read by AnsiCodePage() on first use, which is always later than this.
inline const bool kAnsiCodePageSet = qputenv("PELLUM_ANSI_CODEPAGE", "936");

// Models of the test's model lists.
inline const char* const kPlainModel = "Test-Plain";
inline const char* const kVectorModel = "Test-Vector";
inline const char* const kPrefixModel = "Test-Prefix";
inline const char* const kBrisaModel = "Test-Brisa";
inline const char* const kKeyValueModel = "Test-KV";

inline const QByteArray kModelLists = "[ParameterSet]\n"
                                      "GDS=Test-KV,\n"
                                      "UseVectorFont=Test-Vector,\n"
                                      "Send1B53First=Test-Prefix,\n"
                                      "Brisa_Serial=Test-Brisa,\n"
                                      "PaperWidth56=Test-Vector,\n"
                                      "PaperWidth80=Test-Plain,\n";

inline QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex));
}

class DiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::make_unique<pellum::test::TempProgramFolder>();
        folder->writeFile(pellum::files::kModelListFile, kModelLists);
        folder->makeCurrent();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        pellum::models::ClearModelListCache();
        pellum::models::CacheModelLists();
        dialogs = std::make_unique<pellum::test::RecordingDialogs>();
        delays = std::make_unique<pellum::test::DelayRecorder>();
        tspl =
            std::make_unique<pellum::test::FakePrinterLibrary>(pellum::connection::LibraryId::TSPL);
        cpcl =
            std::make_unique<pellum::test::FakePrinterLibrary>(pellum::connection::LibraryId::CPCL);
        esc =
            std::make_unique<pellum::test::FakePrinterLibrary>(pellum::connection::LibraryId::ESC);
        Select(kPlainModel, pellum::FamilyTSPL);
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetLibraryModel(QStringLiteral("Spruce"));
        session.SetLastResult(0);
        session.portHeld = false;
        ASSERT_EQ(session.Tspl().Create(session.LibraryModel()), 0);
        tspl->clear();
    }
    void TearDown() override {
        // The session's library objects go while the fake libraries are there.
        windowSession = nullptr;
        session.SetTarget({});
        esc.reset();
        cpcl.reset();
        tspl.reset();
        delays.reset();
        dialogs.reset();
        pellum::models::ClearModelListCache();
    }
    // The printer the next window opens on, and the window already open
    // (its own session) when there is one.
    void Select(const char* model, int family) {
        for (pellum::PrinterSession* s : {&session, windowSession}) {
            if (!s)
                continue;
            s->SetModel(QString::fromLatin1(model));
            s->SetFamily(family);
        }
    }
    QString Msg(const char* key) const { return pellum::lang::Msg(QString::fromLatin1(key)); }
    QString Lang(const char* key) const { return pellum::lang::LangText(QString::fromLatin1(key)); }
    // The texts of the recorded message boxes.
    std::vector<QString> Messages() const {
        std::vector<QString> texts;
        for (const auto& m : dialogs->messages)
            texts.push_back(m.text);
        return texts;
    }

    std::unique_ptr<pellum::test::TempProgramFolder> folder;
    std::unique_ptr<pellum::test::RecordingDialogs> dialogs;
    std::unique_ptr<pellum::test::DelayRecorder> delays;
    std::unique_ptr<pellum::test::FakePrinterLibrary> tspl;
    std::unique_ptr<pellum::test::FakePrinterLibrary> cpcl;
    pellum::PrinterSession session;
    pellum::PrinterSession* windowSession = nullptr;
    std::unique_ptr<pellum::test::FakePrinterLibrary> esc;
};

} // namespace diagtest
