#include "PrintJobs.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace vp {

namespace {

const std::set<std::string>& tsplWords() {
    static const std::set<std::string> w{
        "SIZE",    "GAP",       "BLINE",     "OFFSET",    "SPEED",
        "DENSITY", "DIRECTION", "REFERENCE", "SHIFT",     "CODEPAGE",
        "CLS",     "FEED",      "BACKFEED",  "FORMFEED",  "HOME",
        "PRINT",   "SOUND",     "CUT",       "LIMITFEED", "SELFTEST",
        "TEXT",    "BLOCK",     "BAR",       "BARCODE",   "BITMAP",
        "BOX",     "CIRCLE",    "ELLIPSE",   "ERASE",     "PUTBMP",
        "PUTPCX",  "QRCODE",    "REVERSE",   "DOWNLOAD",  "EOP",
        "KILL",    "MOVE",      "RUN",       "SET",       "INITIALPRINTER",
        "DMATRIX", "PDF417",    "AZTEC",     "MAXICODE",  "TLC39",
        "RSS",     "CODABLOCK", "DIAGONAL",  "EOJ",       "DELAY"};
    return w;
}

std::string lastQuoted(const std::string& s) {
    auto e = s.rfind('"');
    if (e == std::string::npos || e == 0) {
        return "";
    }
    auto b = s.rfind('"', e - 1);
    if (b == std::string::npos) {
        return "";
    }
    return s.substr(b + 1, e - b - 1);
}

std::string firstQuoted(const std::string& s) {
    auto b = s.find('"');
    if (b == std::string::npos) {
        return "";
    }
    auto e = s.find('"', b + 1);
    if (e == std::string::npos) {
        return "";
    }
    return s.substr(b + 1, e - b - 1);
}

std::string firstWord(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
        ++i;
    }
    if (i < s.size() && s[i] != ' ') {
        return "";
    }
    std::string w = s.substr(0, i);
    for (char& c : w) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return w;
}

std::string restAfterWord(const std::string& s) {
    auto sp = s.find(' ');
    return sp == std::string::npos ? "" : trim(s.substr(sp + 1));
}

bool printableText(const Bytes& b) {
    for (auto c : b) {
        if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') {
            return false;
        }
        if (c == 0x7F) {
            return false;
        }
    }
    return true;
}

} // namespace

void PrintJobs::line(Job& l, const Bytes& line, const std::string& s, bool terminated) {
    using K = Job::Kind;
    if (l.kind == K::None) {
        std::string w = firstWord(s);
        if (s.find("^XA") != std::string::npos) {
            l.kind = K::Zpl;
        } else if (s == "N") {
            l.kind = K::Epl;
        } else if (s.size() > 2 && s[0] == '!' && s[1] == ' ' && s[2] >= '0' && s[2] <= '9') {
            l.kind = K::Cpcl;
        } else if (!w.empty() && tsplWords().count(w)) {
            l.kind = K::Tspl;
        }
        if (l.kind == K::None) {
            bool text = printableText(line);
            JsonLine j(text ? "text" : "unknown");
            j.hex(line);
            if (text) {
                j.str("text", s).flag("terminated", terminated);
            } else {
                j.str("reason", "not a recognised command");
            }
            p_.write(j);
            return;
        }
        l.lines.clear();
        l.bytes.clear();
    }
    l.lines.push_back(s);
    l.bytes.insert(l.bytes.end(), line.begin(), line.end());
    bool end = false;
    switch (l.kind) {
    case K::Tspl:
        end = firstWord(s) == "PRINT";
        break;
    case K::Zpl:
        end = s.find("^XZ") != std::string::npos;
        break;
    case K::Epl:
        end = s.size() >= 1 && s[0] == 'P' && std::all_of(s.begin() + 1, s.end(), [](char c) {
                  return (c >= '0' && c <= '9') || c == ',';
              });
        break;
    case K::Cpcl:
        end = trim(s) == "PRINT";
        break;
    case K::None:
        break;
    }
    if (end) {
        finish(l, true);
    }
}

void PrintJobs::finish(Job& l, bool complete) {
    using K = Job::Kind;
    const char* kind = l.kind == K::Tspl  ? "job-tspl"
                       : l.kind == K::Zpl ? "job-zpl"
                       : l.kind == K::Epl ? "job-epl"
                                          : "job-cpcl";
    JsonLine j(kind);
    j.hex(l.bytes).raw("lines", jsonArray(l.lines)).flag("complete", complete);
    std::vector<std::string> texts;
    std::vector<std::string> fonts;
    for (const auto& s : l.lines) {
        std::string w = firstWord(s);
        if (l.kind == K::Tspl) {
            if (w == "SIZE") {
                j.str("size", restAfterWord(s));
            } else if (w == "TEXT") {
                texts.push_back(lastQuoted(s));
                fonts.push_back(firstQuoted(s));
            } else if (w == "PRINT") {
                j.str("print", restAfterWord(s));
            }
        } else if (l.kind == K::Zpl) {
            std::size_t at = 0;
            while ((at = s.find("^FD", at)) != std::string::npos) {
                auto e = s.find("^FS", at);
                texts.push_back(
                    s.substr(at + 3, e == std::string::npos ? std::string::npos : e - at - 3));
                at += 3;
            }
            auto a = s.find("^A@");
            if (a != std::string::npos) {
                // ^A@N,50,50,FONT: the font name is the text after the third comma.
                std::size_t c = a;
                for (int k = 0; k < 3 && c != std::string::npos; ++k) {
                    c = s.find(',', c + 1);
                }
                if (c != std::string::npos) {
                    auto e = s.find('^', c);
                    fonts.push_back(
                        s.substr(c + 1, e == std::string::npos ? std::string::npos : e - c - 1));
                }
            }
        } else if (l.kind == K::Epl) {
            if (!s.empty() && s[0] == 'A') {
                texts.push_back(lastQuoted(s));
            } else if (!s.empty() && s[0] == 'P' && s != "N") {
                j.str("print", s.substr(1));
            }
        } else if (l.kind == K::Cpcl) {
            if (s.size() > 2 && (s[0] == 'T' || s.rfind("TEXT ", 0) == 0) && s[1] == ' ') {
                std::istringstream in(s);
                std::string tok;
                for (int k = 0; k < 5 && in >> tok; ++k) {
                }
                std::string rest;
                std::getline(in, rest);
                texts.push_back(trim(rest));
            }
        }
    }
    j.raw("texts", jsonArray(texts));
    if (!fonts.empty()) {
        j.raw("fonts", jsonArray(fonts));
    }
    p_.write(j);
    l.kind = K::None;
    l.lines.clear();
    l.bytes.clear();
}

} // namespace vp
