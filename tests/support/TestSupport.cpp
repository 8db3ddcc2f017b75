#include "TestSupport.h"

#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/ProgramFiles.h"
#include "platform/Delay.h"
#include "settings/PrinterCMD.h"
#include "shell/StartUp.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace pellum::test {
namespace {

FakePrinterLibrary* g_fakes[3] = {nullptr, nullptr, nullptr};

template <int N> struct Trampolines {
    static FakePrinterLibrary& F() { return *g_fakes[N]; }
    static QString Text(const PellumChar* t) { return t ? QString::fromUtf16(t) : QString(); }
    static int32_t Create(PellumHandle* h, const PellumChar* m) { return F().Create(h, Text(m)); }
    static int32_t Destroy(PellumHandle* h) { return F().Destroy(h); }
    static int32_t Open(PellumHandle h, const PellumChar* p) { return F().Open(h, Text(p)); }
    static int32_t Close(PellumHandle h) { return F().Close(h); }
    static int32_t Write(PellumHandle h, const uint8_t* d, int32_t n) { return F().Write(h, d, n); }
    static int32_t Read(PellumHandle h, uint8_t* b, int32_t n, int32_t* got) {
        return F().Read(h, b, n, got);
    }
    static int32_t ReadEof(PellumHandle h, uint8_t* b, int32_t, int32_t n, uint8_t, uint8_t end,
                           int32_t* got) {
        return F().ReadEof(h, b, n, end, got);
    }
    static int32_t SelfTest(PellumHandle h) { return F().SelfTest(h); }
    static int32_t GetSn(PellumHandle h, uint8_t* b) { return F().GetSn(h, b); }
    static connection::PrinterLibrary Table() {
        connection::PrinterLibrary t;
        t.create = Create;
        t.destroy = Destroy;
        t.open = Open;
        t.close = Close;
        t.write = Write;
        t.read = Read;
        t.readEof = ReadEof;
        t.selfTest = SelfTest;
        t.getSn = GetSn;
        return t;
    }
};

connection::PrinterLibrary TableFor(connection::LibraryId id) {
    switch (id) {
    case connection::LibraryId::TSPL:
        return Trampolines<0>::Table();
    case connection::LibraryId::CPCL:
        return Trampolines<1>::Table();
    case connection::LibraryId::ESC:
        return Trampolines<2>::Table();
    }
    return {};
}

} // namespace

FakePrinterLibrary::FakePrinterLibrary(connection::LibraryId id) : m_id(id) {
    g_fakes[static_cast<int>(id)] = this;
    connection::InstallLibrary(id, TableFor(id));
}

FakePrinterLibrary::~FakePrinterLibrary() {
    connection::InstallLibrary(m_id, {});
    g_fakes[static_cast<int>(m_id)] = nullptr;
}

std::int32_t FakePrinterLibrary::Next(std::deque<std::int32_t>& q) {
    if (q.empty())
        return 0;
    std::int32_t v = q.front();
    q.pop_front();
    return v;
}

std::vector<FakePrinterLibrary::Call> FakePrinterLibrary::calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<FakePrinterLibrary::Call> FakePrinterLibrary::callsOf(const std::string& op) const {
    std::vector<Call> out;
    for (const Call& c : calls())
        if (c.op == op)
            out.push_back(c);
    return out;
}

QByteArray FakePrinterLibrary::written() const {
    QByteArray all;
    for (const Call& c : callsOf("write"))
        all += c.data;
    return all;
}

std::vector<QByteArray> FakePrinterLibrary::writes() const {
    std::vector<QByteArray> out;
    for (const Call& c : callsOf("write"))
        out.push_back(c.data);
    return out;
}

std::vector<std::string> FakePrinterLibrary::ops() const {
    std::vector<std::string> out;
    for (const Call& c : calls())
        out.push_back(c.op);
    return out;
}

void FakePrinterLibrary::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

std::int32_t FakePrinterLibrary::Create(PellumHandle* h, const QString& model) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"create", model, {}, 0, -1});
    std::int32_t rc = Next(createResults);
    if (rc == 0)
        *h = reinterpret_cast<PellumHandle>(static_cast<std::intptr_t>(0x1000 + ++m_handleToken));
    return rc;
}

std::int32_t FakePrinterLibrary::Destroy(PellumHandle*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"destroy", {}, {}, 0, -1});
    return 0;
}

std::int32_t FakePrinterLibrary::Open(PellumHandle, const QString& port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"open", port, {}, 0, -1});
    return Next(openResults);
}

std::int32_t FakePrinterLibrary::Close(PellumHandle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"close", {}, {}, 0, -1});
    return 0;
}

std::int32_t FakePrinterLibrary::Write(PellumHandle, const std::uint8_t* data, std::int32_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(
        {"write", {}, QByteArray(reinterpret_cast<const char*>(data), count), count, -1});
    return Next(writeResults);
}

std::int32_t FakePrinterLibrary::TakeReply(std::uint8_t* buf, std::int32_t size, int endByte) {
    if (replies.empty())
        return 0;
    QByteArray& chunk = replies.front();
    qsizetype take = chunk.size();
    if (endByte >= 0) {
        qsizetype stop = chunk.indexOf(static_cast<char>(endByte));
        if (stop >= 0)
            take = stop + 1;
    }
    const auto n = static_cast<std::int32_t>(std::min<qsizetype>(take, size));
    std::memcpy(buf, chunk.constData(), static_cast<size_t>(n));
    chunk.remove(0, n);
    if (chunk.isEmpty())
        replies.pop_front();
    return n;
}

std::int32_t FakePrinterLibrary::Read(PellumHandle, std::uint8_t* buf, std::int32_t size,
                                      std::int32_t* got) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"read", {}, {}, size, -1});
    const std::int32_t n = TakeReply(buf, size, -1);
    if (got)
        *got = n;
    return Next(readResults);
}

std::int32_t FakePrinterLibrary::ReadEof(PellumHandle, std::uint8_t* buf, std::int32_t size,
                                         std::uint8_t end, std::int32_t* got) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"readEof", {}, {}, size, end});
    const std::int32_t n = TakeReply(buf, size, end);
    if (got)
        *got = n;
    return Next(readResults);
}

std::int32_t FakePrinterLibrary::SelfTest(PellumHandle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"selfTest", {}, {}, 0, -1});
    return 0;
}

std::int32_t FakePrinterLibrary::GetSn(PellumHandle, std::uint8_t* buf) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({"getSn", {}, {}, 32, -1});
    std::memset(buf, 0, 32);
    std::memcpy(buf, serial.constData(),
                static_cast<size_t>(std::min<qsizetype>(serial.size(), 32)));
    return 0;
}

RecordingDialogs::RecordingDialogs() {
    SetDialogs(this);
}
RecordingDialogs::~RecordingDialogs() {
    SetDialogs(nullptr);
}

void RecordingDialogs::ShowMessage(MessageKind kind, const QString& title, const QString& text) {
    messages.push_back({kind, title, text});
}

bool RecordingDialogs::Confirm(const QString&, const QString& text) {
    confirmations.push_back(text);
    if (confirmAnswers.empty())
        return true;
    bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
}

QString RecordingDialogs::OpenFileName(const QString&, const QString&) {
    if (fileNames.empty())
        return QString();
    QString f = fileNames.front();
    fileNames.pop_front();
    return f;
}

DelayRecorder::DelayRecorder() {
    SetDelayHook([this](int ms) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_waits.push_back(ms);
    });
}
DelayRecorder::~DelayRecorder() {
    SetDelayHook({});
}

std::vector<int> DelayRecorder::waits() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waits;
}

void DelayRecorder::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waits.clear();
}

QString BuildBinFolder() {
    return QStringLiteral(PELLUM_TEST_BIN_DIR "/");
}

::testing::AssertionResult UseBuiltProgram() {
    StartUp::InitialiseFolders(BuildBinFolder());
    pellum::lang::LanguageId = QStringLiteral("1033");
    pellum::lang::LoadMessageTable();
    pellum::models::ClearModelListCache();
    pellum::models::CacheModelLists();
    QStringList problems;
    if (!connection::LoadPrinterLibraries(BuildBinFolder(), &problems))
        return ::testing::AssertionFailure() << problems.join(QLatin1Char('\n')).toStdString();
    return ::testing::AssertionSuccess();
}

TempProgramFolder::TempProgramFolder(bool withShippedFiles) {
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("files"));
    root.mkpath(QStringLiteral("icons"));
    if (!withShippedFiles)
        return;
    const QString shipped = BuildBinFolder() + QStringLiteral("files");
    QDirIterator it(shipped, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QFileInfo(path).fileName();
        // Only what is delivered: not a printer list or a virtual printer's
        // state left behind by running the programs from build/bin.
        if (name == QLatin1String("PrinterList.txt") ||
            name.startsWith(QLatin1String("virtual-printer")))
            continue;
        QFile::copy(path, filesFolder() + name);
    }
}

QString TempProgramFolder::programFolder() const {
    return m_dir.path() + QLatin1Char('/');
}
QString TempProgramFolder::filesFolder() const {
    return programFolder() + QStringLiteral("files/");
}

void TempProgramFolder::writeFile(const QString& name, const QByteArray& content) const {
    QFile f(filesFolder() + name);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

QByteArray TempProgramFolder::readFile(const QString& name) const {
    QFile f(filesFolder() + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TempProgramFolder::makeCurrent() const {
    pellum::files::SetProgramFolder(programFolder());
}

} // namespace pellum::test
