// The journal: one JSON object per line for every command the printer receives
// (and for connection and control events), so tests and people can see exactly
// what was sent. Texts are byte strings taken as Latin-1, so every line is valid
// UTF-8 JSON whatever code page the program used.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Bytes.h"

namespace vp {

std::string jsonQuote(std::string_view latin1);

class JsonLine {
public:
    explicit JsonLine(std::string_view kind);
    JsonLine& str(std::string_view name, std::string_view value);
    JsonLine& num(std::string_view name, long long value);
    JsonLine& real(std::string_view name, double value);
    JsonLine& flag(std::string_view name, bool value);
    JsonLine& hex(const std::uint8_t* data, std::size_t count);
    JsonLine& hex(const Bytes& b) { return hex(b.data(), b.size()); }
    // A value that is already JSON (an array or object built by the caller).
    JsonLine& raw(std::string_view name, std::string_view json);
    const std::string& kind() const { return kind_; }
    JsonLine& rename(std::string_view kind) {
        kind_ = kind;
        return *this;
    }
    std::string text(const std::string& time) const;

private:
    std::string kind_;
    std::string hex_;
    bool haveHex_ = false;
    std::string fields_;
};

std::string jsonArray(const std::vector<std::string>& latin1Items);

class Journal {
public:
    Journal() = default;
    ~Journal();
    bool openFile(const std::string& path);
    void useStdout();
    void write(const JsonLine& line);
    // The lines written so far are also kept in memory when asked (tests).
    void keepInMemory(bool on) { keep_ = on; }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::FILE* out_ = nullptr;
    bool ownFile_ = false;
    bool keep_ = false;
    std::vector<std::string> lines_;
    std::mutex mutex_;
};

std::string utcTimestamp();

} // namespace vp
