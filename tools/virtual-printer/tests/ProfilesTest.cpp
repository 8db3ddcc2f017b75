// The profile file covers the program's whole catalogue, with the layout family
// and identity that the program's model lists call for.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Engine.h"
#include "Profiles.h"

using namespace vp;

namespace {

std::vector<std::string> catalogue() {
    std::ifstream in(VP_CATALOGUE);
    std::vector<std::string> models;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (!line.empty()) {
            models.push_back(line);
        }
    }
    return models;
}

// A model is in a list when its name followed by a comma occurs in the value.
std::map<std::string, std::string> modelLists() {
    IniFile ini;
    std::string error;
    EXPECT_TRUE(ini.load(VP_MODEL_LISTS, error)) << error;
    std::map<std::string, std::string> lists;
    for (const auto& [k, v] : ini.entries("ParameterSet")) {
        lists[k] = v;
    }
    return lists;
}

bool inList(const std::map<std::string, std::string>& lists, const std::string& list,
            const std::string& model) {
    auto it = lists.find(list);
    return it != lists.end() && it->second.find(model + ",") != std::string::npos;
}

// The settings window's layout family by the program's rule order.
Layout expectedLayout(const std::map<std::string, std::string>& l, const std::string& m) {
    const std::pair<const char*, Layout> rules[] = {
        {"Tupelo_NoNetParameterSetting", Layout::Quince},
        {"Juniper_ParameterSetting", Layout::Sumac},
        {"Dogwood_ParameterSetting", Layout::Alder},
        {"Ilex_ParameterSetting", Layout::Alder},
        {"Hazel_ParameterSetting", Layout::Alder},
        {"Ginkgo_ParameterSetting", Layout::Alder},
        {"Alder_ParameterSetting", Layout::Alder},
        {"Cedar_ParameterSetting", Layout::Maple},
        {"Kapok_ParameterSetting", Layout::None},
        {"Sumac_ParameterSetting", Layout::Sumac},
        {"Maple_ParameterSetting", Layout::Maple},
        {"Wattle_ParameterSetting", Layout::Maple},
        {"Nutmeg_ParameterSetting", Layout::Alder},
        {"Birch_ParameterSetting", Layout::Alder},
        {"Tupelo_ParameterSetting", Layout::Quince},
        {"Poplar_ParameterSetting", Layout::Alder},
        {"Larch_ParameterSetting", Layout::None},
    };
    for (const auto& [list, layout] : rules) {
        if (inList(l, list, m)) {
            return layout;
        }
    }
    return Layout::Maple;
}

bool atLeast(const std::vector<int>& v, std::vector<int> min) {
    for (std::size_t i = 0; i < 3; ++i) {
        if (v[i] != min[i]) {
            return v[i] > min[i];
        }
    }
    return true;
}

} // namespace

TEST(Profiles, EveryCatalogueModelHasAPlausibleProfile) {
    ProfileSet set;
    std::string error;
    ASSERT_TRUE(set.load(VP_PROFILES, error)) << error;
    auto lists = modelLists();
    auto models = catalogue();
    ASSERT_FALSE(models.empty());
    for (const auto& m : models) {
        SCOPED_TRACE(m);
        auto p = set.find(m);
        ASSERT_TRUE(p.has_value());
        bool kv = inList(lists, "GDS", m);
        EXPECT_EQ(p->protocol == Protocol::KeyValue, kv);
        EXPECT_EQ(p->version.size(), inList(lists, "VersionLength4", m) ? 4u : 3u);
        EXPECT_FALSE(p->serial.empty());
        if (kv) {
            // A value for every key the program reads.
            for (const char* k : {"bt_mac",
                                  "media_power_up",
                                  "reprint_after_error",
                                  "media_sensor",
                                  "density",
                                  "eth_dhcp",
                                  "eth_ip",
                                  "eth_mask",
                                  "eth_gateway",
                                  "heat_adj",
                                  "speed",
                                  "ppl",
                                  "code_page",
                                  "com_baud",
                                  "com_wordlength",
                                  "com_parity",
                                  "com_stopbits",
                                  "print_mode",
                                  "tear_off",
                                  "sensor_select",
                                  "platenin_locat",
                                  "platenin_enter_pause",
                                  "sw_ribbon",
                                  "version",
                                  "serial_no",
                                  "mileage",
                                  "dpi",
                                  "autoform_switch"}) {
                EXPECT_TRUE(p->keys.count(k)) << k;
            }
            EXPECT_GT(p->storageCapacity, 0);
            continue;
        }
        EXPECT_EQ(p->layout, expectedLayout(lists, m));
        ASSERT_EQ(p->block.size(), 256u);
        EXPECT_EQ(p->block[0], 0x78);
        EXPECT_EQ(le16(&p->block[254]), Checksum16(p->block, 254));
        if (inList(lists, "HaveTwoProtocol", m)) {
            EXPECT_TRUE(p->emulation == 0 || p->emulation == 1);
        } else {
            EXPECT_EQ(p->emulation, 1);
        }
        if (inList(lists, "Poplar_ParameterSetting", m) ||
            inList(lists, "Sumac_ParameterSetting", m)) {
            EXPECT_TRUE(atLeast(p->version, {1, 0, 0}));
        }
        if (inList(lists, "Tupelo_ParameterSetting", m)) {
            EXPECT_TRUE(atLeast(p->version, {1, 3, 0}));
        }
        // Production date readable from the serial: YYWW + 40 or a year digit and week.
        if (inList(lists, "Brisa_Serial", m)) {
            int yy = std::stoi(p->serial.substr(0, 2)) - 40;
            int ww = std::stoi(p->serial.substr(2, 2)) - 40;
            EXPECT_TRUE(yy >= 0 && ww >= 1 && ww <= 53);
        } else {
            std::string last7 = p->serial.substr(p->serial.size() - 7);
            int ww = std::stoi(last7.substr(1, 2));
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(last7[0])) && ww >= 1 && ww <= 53);
        }
    }
}

TEST(Profiles, BlockValuesAndErrors) {
    Bytes b(256, 0);
    std::string error;
    struct Case {
        int offset;
        const char* value;
        Bytes expect;
    };
    const Case cases[] = {
        {34, "8", {8}},
        {34, "0x0C", {12}},
        {70, "u16:800", {0x20, 0x03}},
        {130, "heat:-30", {0xE2, 0xFF}},
        {130, "heat:15", {0x0F, 0x00}},
        {88, "ip:192.168.1.20", {192, 168, 1, 20}},
        {20, "text4:12", {'1', '2', 0, 0}},
        {40, "hex:AA BB", {0xAA, 0xBB}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(applyBlockValue(b, c.offset, c.value, error)) << c.value << ": " << error;
        EXPECT_TRUE(std::equal(c.expect.begin(), c.expect.end(), b.begin() + c.offset)) << c.value;
    }
    for (const char* bad : {"256", "u16:70000", "ip:1.2.3", "text4:12345", "heat:x", "hex:A"}) {
        EXPECT_FALSE(applyBlockValue(b, 100, bad, error)) << bad;
    }
    EXPECT_FALSE(applyBlockValue(b, 253, "u16:1", error)) << "would overwrite the checksum";
    EXPECT_FALSE(applyBlockValue(b, 0, "1", error)) << "the marker is not a parameter";
}

TEST(Profiles, BrokenProfileFilesAreRejectedWithTheReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"[model A]\nprotocol = block\n", "needs a layout"},
        {"[model A]\nprotocol = kv\nwhat = 1\n", "unknown entry"},
        {"[model A]\nprotocol = block\nlayout = alder\nversion = 1.2\n", "bad version"},
        {"[model A\n", "unclosed"},
        {"; nothing\n", "no [model"},
    };
    for (const auto& [text, why] : cases) {
        ProfileSet set;
        std::string error;
        EXPECT_FALSE(set.parse(text, error)) << text;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}
