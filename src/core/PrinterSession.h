// One conversation with one printer.
//
// A session knows which printer it talks to (the catalogue model, the
// printer library's model name and the port string), which command language
// the running function speaks (the family, which selects the printer
// library), the result of its latest connection step, whether a key-value
// function holds the port open, and it owns one printer-library object per
// library: created by the first open of that library (or explicitly),
// destroyed when the session ends. A window or a pellumctl command owns its session; protocol
// functions take it as an argument. Sessions are independent of each other, so several may talk to
// several printers at once on different threads; one session is used by one function at a time (a
// download's two threads share it).
#pragma once

#include "connection/Backend.h"
#include "core/Family.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

namespace pellum {

// Which printer a session talks to.
struct PrinterTarget {
    QString model;        // catalogue name, e.g. "PL-Nutmeg 200"
    QString libraryModel; // the printer library's model name (PrinterMap.ini)
    QString port;         // port string, e.g. "NET,127.0.0.1:9100"
    // The command language the printer was found to speak, as the session
    // starts (a window opened for a function gets the family found for it).
    std::int32_t family = FamilyTSPL;
};

// How the waits before a read are kept: `Fixed` waits the whole time;
// `Reply` may end a wait once the reply is complete by its format.
enum class TimingPolicy { Fixed, Reply };

// Receives every write and read of a session, for an exchange log.
class ExchangeObserver {
public:
    virtual ~ExchangeObserver() = default;
    virtual void Sent(const QString& port, const QByteArray& bytes) = 0;
    virtual void Received(const QString& port, const QByteArray& bytes) = 0;
};

// The library a family value selects: ESC for 0, CPCL for 3, TSPL otherwise.
connection::LibraryId LibraryForFamily(std::int32_t family);

class PrinterSession {
public:
    explicit PrinterSession(PrinterTarget target = {});
    PrinterSession(const PrinterSession&) = delete;
    PrinterSession& operator=(const PrinterSession&) = delete;

    // The printer, with the family in use now.
    PrinterTarget Target() const {
        PrinterTarget target = m_target;
        target.family = Family();
        return target;
    }
    const QString& Model() const { return m_target.model; }
    const QString& LibraryModel() const { return m_target.libraryModel; }
    const QString& Port() const { return m_target.port; }
    // A new printer: the library objects of the old one are destroyed.
    void SetTarget(PrinterTarget target);
    // One part of the target changes; the library objects stay.
    void SetModel(const QString& model) { m_target.model = model; }
    void SetLibraryModel(const QString& libraryModel);
    void SetPort(const QString& port) { m_target.port = port; }

    std::int32_t Family() const { return m_family.load(); }
    void SetFamily(std::int32_t family) { m_family.store(family); }

    std::int32_t LastResult() const { return m_lastResult.load(); }
    void SetLastResult(std::int32_t code) { m_lastResult.store(code); }

    // The back-end of each printer library, and the one the family selects.
    connection::Backend& Tspl() { return m_tspl; }
    connection::Backend& Cpcl() { return m_cpcl; }
    connection::Backend& Esc() { return m_esc; }
    connection::Backend& Lib();

    // True while a key-value function holds the port open across commands.
    std::atomic<bool> portHeld{false};

    TimingPolicy Timing() const { return m_timing; }
    void SetTiming(TimingPolicy timing) { m_timing = timing; }
    ExchangeObserver* Observer() const { return m_observer; }
    void SetObserver(ExchangeObserver* observer) { m_observer = observer; }

private:
    PrinterTarget m_target;
    std::atomic<std::int32_t> m_family{FamilyTSPL};
    std::atomic<std::int32_t> m_lastResult{0};
    TimingPolicy m_timing = TimingPolicy::Fixed;
    ExchangeObserver* m_observer = nullptr;
    // Declared last: destroyed first, while the rest is still there.
    connection::Backend m_tspl{connection::LibraryId::TSPL, true};
    connection::Backend m_cpcl{connection::LibraryId::CPCL, false};
    connection::Backend m_esc{connection::LibraryId::ESC, false};
};

} // namespace pellum
