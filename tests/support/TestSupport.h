// Test doubles shared by the tests of every area:
//   FakePrinterLibrary  a scripted printer library installed in place of a
//                       real one; records every call and answers reads from
//                       a script.
//   RecordingDialogs    records message boxes and answers confirmations.
//   DelayRecorder       records the program's fixed waits instead of sleeping.
//   TempProgramFolder   a temporary program folder with files/ laid out.
#pragma once

#include "connection/PrinterLibraries.h"
#include "platform/UserDialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace pellum::test {

class FakePrinterLibrary {
public:
    struct Call {
        std::string op;        // "create", "destroy", "open", "close", "write", "read",
                               // "readEof", "selfTest", "getSn"
        QString text;          // model name or port string
        QByteArray data;       // bytes written
        std::int32_t size = 0; // requested size of a read
        std::int32_t endByte = -1;
    };

    explicit FakePrinterLibrary(connection::LibraryId id = connection::LibraryId::TSPL);
    ~FakePrinterLibrary();
    FakePrinterLibrary(const FakePrinterLibrary&) = delete;
    FakePrinterLibrary& operator=(const FakePrinterLibrary&) = delete;

    // Script. Results are taken in order; when a queue is empty the default
    // (0) is used.
    std::deque<std::int32_t> createResults;
    std::deque<std::int32_t> openResults;
    std::deque<std::int32_t> writeResults;
    std::deque<std::int32_t> readResults;
    // Each read or readEof takes the front chunk: it delivers at most the
    // requested size (readEof: up to and including the end byte) and leaves
    // the rest of the chunk for the next read. No chunk: 0 bytes.
    std::deque<QByteArray> replies;
    // The serial number written by getSn.
    QByteArray serial;

    // What happened.
    std::vector<Call> calls() const;
    std::vector<Call> callsOf(const std::string& op) const;
    QByteArray written() const;             // all written bytes, in order
    std::vector<QByteArray> writes() const; // each write separately
    std::vector<std::string> ops() const;   // the op names, in order
    void clear();

    // Entry points (used by the installed function table).
    std::int32_t Create(PellumHandle* h, const QString& model);
    std::int32_t Destroy(PellumHandle* h);
    std::int32_t Open(PellumHandle h, const QString& port);
    std::int32_t Close(PellumHandle h);
    std::int32_t Write(PellumHandle h, const std::uint8_t* data, std::int32_t count);
    std::int32_t Read(PellumHandle h, std::uint8_t* buf, std::int32_t size, std::int32_t* got);
    std::int32_t ReadEof(PellumHandle h, std::uint8_t* buf, std::int32_t size, std::uint8_t end,
                         std::int32_t* got);
    std::int32_t SelfTest(PellumHandle h);
    std::int32_t GetSn(PellumHandle h, std::uint8_t* buf);

private:
    std::int32_t Next(std::deque<std::int32_t>& q);
    // Delivers the front reply chunk: at most `size` bytes, and with an end
    // byte (>= 0) no further than it.
    std::int32_t TakeReply(std::uint8_t* buf, std::int32_t size, int endByte);
    connection::LibraryId m_id;
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    int m_handleToken = 0;
};

class RecordingDialogs : public UserDialogs {
public:
    struct Message {
        MessageKind kind;
        QString title;
        QString text;
    };
    RecordingDialogs();           // installs itself
    ~RecordingDialogs() override; // restores the console dialogs
    void ShowMessage(MessageKind kind, const QString& title, const QString& text) override;
    bool Confirm(const QString& title, const QString& text) override;
    QString OpenFileName(const QString& title, const QString& filter) override;

    std::vector<Message> messages;
    std::vector<QString> confirmations; // texts asked
    std::deque<bool> confirmAnswers;    // default true
    std::deque<QString> fileNames;      // answers of OpenFileName, default ""
};

class DelayRecorder {
public:
    DelayRecorder();  // installs itself: waits are recorded, not slept
    ~DelayRecorder(); // restores the real sleep
    std::vector<int> waits() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_waits;
};

// A temporary program folder: `files/` holds copies of the shipped data files
// (data/files and the merged language file), unless `empty` is given.
class TempProgramFolder {
public:
    explicit TempProgramFolder(bool withShippedFiles = true);
    QString programFolder() const; // trailing '/'
    QString filesFolder() const;   // trailing '/'
    // Writes a file below files/ (UTF-8).
    void writeFile(const QString& name, const QByteArray& content) const;
    QByteArray readFile(const QString& name) const;
    // Sets the global folders to this one (ProgramFolder, FilesFolder, ...).
    void makeCurrent() const;

private:
    QTemporaryDir m_dir;
};

// The folder where the build put the programs, libraries and shipped files.
QString BuildBinFolder();

// Sets the program up as it starts from build/bin, for tests against the
// virtual printer: folders and model list from the shipped files, English
// messages, the cached model lists, the real printer libraries, no held
// key-value connection.
::testing::AssertionResult UseBuiltProgram();

} // namespace pellum::test
