#include "Journal.h"

#include <chrono>
#include <ctime>

namespace vp {

std::string jsonQuote(std::string_view s) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\u00";
                out.push_back(digits[c >> 4]);
                out.push_back(digits[c & 0x0F]);
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out += "\"";
    return out;
}

JsonLine::JsonLine(std::string_view kind) : kind_(kind) {}

JsonLine& JsonLine::str(std::string_view name, std::string_view value) {
    fields_ += "," + jsonQuote(name) + ":" + jsonQuote(value);
    return *this;
}

JsonLine& JsonLine::num(std::string_view name, long long value) {
    fields_ += "," + jsonQuote(name) + ":" + std::to_string(value);
    return *this;
}

JsonLine& JsonLine::real(std::string_view name, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", value);
    fields_ += "," + jsonQuote(name) + ":" + buf;
    return *this;
}

JsonLine& JsonLine::flag(std::string_view name, bool value) {
    fields_ += "," + jsonQuote(name) + ":" + (value ? "true" : "false");
    return *this;
}

JsonLine& JsonLine::hex(const std::uint8_t* data, std::size_t count) {
    hex_ = hexText(data, count);
    haveHex_ = true;
    return *this;
}

JsonLine& JsonLine::raw(std::string_view name, std::string_view json) {
    fields_ += "," + jsonQuote(name) + ":" + std::string(json);
    return *this;
}

std::string JsonLine::text(const std::string& time) const {
    std::string s = "{\"time\":" + jsonQuote(time) + ",\"kind\":" + jsonQuote(kind_);
    if (haveHex_) {
        s += ",\"hex\":\"" + hex_ + "\"";
    }
    s += fields_;
    s += "}";
    return s;
}

std::string jsonArray(const std::vector<std::string>& items) {
    std::string s = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) {
            s += ",";
        }
        s += jsonQuote(items[i]);
    }
    return s + "]";
}

Journal::~Journal() {
    if (ownFile_ && out_) {
        std::fclose(out_);
    }
}

bool Journal::openFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f) {
        return false;
    }
    out_ = f;
    ownFile_ = true;
    return true;
}

void Journal::useStdout() {
    out_ = stdout;
    ownFile_ = false;
}

void Journal::write(const JsonLine& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text = line.text(utcTimestamp());
    if (out_) {
        std::fwrite(text.data(), 1, text.size(), out_);
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    if (keep_) {
        lines_.push_back(std::move(text));
    }
}

std::string utcTimestamp() {
    using namespace std::chrono;
    auto now = system_clock::now();
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(ms));
    return buf;
}

} // namespace vp
