// Merges language fragments into one INI file.
//
// Each window family keeps its texts in its own fragment (data/lang/*.ini) so
// that the people working on different windows never edit the same file. The
// program reads one "PellumLanguage.ini"; this tool joins the fragments, in the
// order given, into one file with each section appearing once. A key that
// appears twice in the same section is an error: the reader would silently take
// the first one and the second text would never be seen.
//
// usage: lang-merge OUT FRAGMENT...
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

struct Section {
    std::string name;
    std::vector<std::string> lines;
    std::map<std::string, std::string> keyOrigin; // lower-case key -> fragment
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: lang-merge OUT FRAGMENT...\n";
        return 2;
    }
    std::vector<Section> sections;
    std::map<std::string, size_t> index; // lower-case section name -> position
    bool failed = false;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << "lang-merge: cannot read " << argv[i] << "\n";
            return 1;
        }
        Section* current = nullptr;
        std::string line;
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
                line.erase(0, 3);
            std::string t = Trim(line);
            if (t.empty() || t[0] == ';' || t[0] == '#')
                continue;
            if (t.front() == '[' && t.back() == ']') {
                std::string name = Trim(t.substr(1, t.size() - 2));
                auto it = index.find(Lower(name));
                if (it == index.end()) {
                    index[Lower(name)] = sections.size();
                    sections.push_back(Section{name, {}, {}});
                    current = &sections.back();
                } else {
                    current = &sections[it->second];
                }
                continue;
            }
            if (!current) {
                std::cerr << argv[i] << ":" << lineNo << ": text outside a section\n";
                failed = true;
                continue;
            }
            auto eq = t.find('=');
            if (eq == std::string::npos) {
                std::cerr << argv[i] << ":" << lineNo << ": line without '='\n";
                failed = true;
                continue;
            }
            std::string key = Lower(Trim(t.substr(0, eq)));
            auto seen = current->keyOrigin.find(key);
            if (seen != current->keyOrigin.end()) {
                std::cerr << argv[i] << ":" << lineNo << ": key '" << Trim(t.substr(0, eq))
                          << "' of section [" << current->name << "] is already in "
                          << seen->second << "\n";
                failed = true;
                continue;
            }
            current->keyOrigin[key] = argv[i];
            current->lines.push_back(t);
        }
    }
    if (failed)
        return 1;
    std::string tmp = std::string(argv[1]) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        for (const Section& s : sections) {
            out << "[" << s.name << "]\r\n";
            for (const std::string& l : s.lines)
                out << l << "\r\n";
            out << "\r\n";
        }
        if (!out) {
            std::cerr << "lang-merge: cannot write " << tmp << "\n";
            return 1;
        }
    }
    if (std::rename(tmp.c_str(), argv[1]) != 0) {
        std::cerr << "lang-merge: cannot replace " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
