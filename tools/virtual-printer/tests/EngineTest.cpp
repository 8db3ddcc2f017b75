// The printer's side of the byte formats, driven directly with hand-written
// byte vectors (no sockets, no sleeping: time is passed in).
#include <gtest/gtest.h>

#include <random>

#include "Engine.h"
#include "VirtualPrinterProcess.h"

using namespace vp;

namespace {

Profile loadProfile(const std::string& model) {
    ProfileSet set;
    std::string error;
    EXPECT_TRUE(set.load(VP_PROFILES, error)) << error;
    auto p = set.find(model);
    EXPECT_TRUE(p.has_value()) << model;
    return p.value_or(Profile{});
}

Bytes kv(const std::string& body) {
    std::string line = "\x1B\x1C\x26\x20\x56\x31\x20" + body + "\r\n";
    return Bytes(line.begin(), line.end());
}

Bytes sealed(Bytes b) {
    std::uint32_t sum = 0;
    for (int i = 0; i < 254; ++i) {
        sum += b[static_cast<std::size_t>(i)];
    }
    b[254] = static_cast<std::uint8_t>(sum & 0xFF);
    b[255] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    return b;
}

// A download packet as the file window builds it (zero fill, checksum over
// header and data) or as the user-font window does (FF fill, checksum over all).
Bytes packet(std::uint32_t index, const Bytes& data, bool userFont = false) {
    Bytes p(kDownloadPacketSize, userFont ? 0xFF : 0x00);
    p[0] = 0xDD;
    p[1] = 0xCC;
    p[2] = 0xBB;
    p[3] = 0xAA;
    for (int i = 0; i < 4; ++i) {
        p[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(index >> (8 * i));
    }
    p[8] = static_cast<std::uint8_t>(data.size() & 0xFF);
    p[9] = static_cast<std::uint8_t>(data.size() >> 8);
    std::copy(data.begin(), data.end(), p.begin() + 10);
    std::uint32_t sum = 0;
    std::size_t count = userFont ? kDownloadPacketSize - 2 : data.size() + 10;
    for (std::size_t i = 0; i < count; ++i) {
        sum += p[i];
    }
    p[kDownloadPacketSize - 2] = static_cast<std::uint8_t>(sum & 0xFF);
    p[kDownloadPacketSize - 1] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    return p;
}

class EngineTest : public ::testing::Test {
protected:
    void use(const std::string& model) {
        engine_.reset();
        journal_ = std::make_unique<Journal>();
        journal_->keepInMemory(true);
        engine_ = std::make_unique<Engine>(loadProfile(model), *journal_, faults_);
        engine_->linkOpened(1, "test");
    }
    // Feeds bytes and returns every reply byte produced.
    Bytes send(const Bytes& b, int advanceMs = 1) {
        now_ += std::chrono::milliseconds(advanceMs);
        Actions a;
        engine_->feed(1, b, now_, a);
        return collect(a);
    }
    Bytes wait(int ms) {
        now_ += std::chrono::milliseconds(ms);
        Actions a;
        engine_->poll(now_, a);
        return collect(a);
    }
    Bytes collect(Actions& a) {
        Bytes out;
        for (auto& r : a.replies) {
            out.insert(out.end(), r.data.begin(), r.data.end());
        }
        drops_ += static_cast<int>(a.drops.size());
        return out;
    }
    // The last journal line of a kind ("" when none).
    std::string last(const std::string& kind) const {
        const auto& lines = journal_->lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (it->find("\"kind\":\"" + kind + "\"") != std::string::npos) {
                return *it;
            }
        }
        return "";
    }
    int count(const std::string& kind) const {
        int n = 0;
        for (const auto& l : journal_->lines()) {
            n += l.find("\"kind\":\"" + kind + "\"") != std::string::npos;
        }
        return n;
    }
    static bool has(const std::string& line, const std::string& part) {
        return line.find(part) != std::string::npos;
    }
    Bytes ackFor(const Bytes& p, int status) {
        Bytes a(p.begin(), p.begin() + 8);
        a.push_back(static_cast<std::uint8_t>(status));
        a.push_back(0);
        std::uint32_t sum = 0;
        for (auto b : a) {
            sum += b;
        }
        a.push_back(static_cast<std::uint8_t>(sum & 0xFF));
        a.push_back(static_cast<std::uint8_t>(sum >> 8));
        return a;
    }

    Faults faults_;
    std::unique_ptr<Journal> journal_;
    std::unique_ptr<Engine> engine_;
    Clock::time_point now_ = Clock::time_point() + std::chrono::hours(1);
    int drops_ = 0;
};

} // namespace

TEST(Checksum16, WorkedExamples) {
    struct Case {
        Bytes bytes;
        std::uint16_t sum;
    };
    Bytes marker(254, 0);
    marker[0] = 0x78;
    const Case cases[] = {
        {marker, 0x0078},           // block with marker only: bytes 254-255 = 78 00
        {Bytes(254, 0xFF), 0xFD02}, // 64770: bytes 254-255 = 02 FD
        {Bytes(300, 0xFF), 10964},  // kept modulo 65536
        {Bytes(), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Checksum16(c.bytes, c.bytes.size()), c.sum);
    }
}

TEST_F(EngineTest, BlockReadAnswersTheSealedBlockInEitherForm) {
    use("PL-Nutmeg 200");
    for (const Bytes& cmd : {Bytes{0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A}, Bytes{0x12, 0x62}}) {
        Bytes block = send(cmd);
        ASSERT_EQ(block.size(), 256u);
        EXPECT_EQ(block[0], 0x78);
        EXPECT_EQ(block, sealed(block));
        EXPECT_EQ(block[34], 8); // density of the profile
    }
    EXPECT_TRUE(has(last("block-read"), "\"form\":\"esc\""));
    EXPECT_TRUE(has(last("block-read"), "\"emulation_mismatch\":true"));
}

TEST_F(EngineTest, BlockWriteIsStoredOnlyWhenMarkerAndChecksumHold) {
    use("PL-Nutmeg 200");
    Bytes good = send({0x12, 0x62});
    good[34] = 5;
    good = sealed(good);
    Bytes badMarker = good;
    badMarker[0] = 0x79;
    badMarker = sealed(badMarker);
    Bytes badSum = good;
    badSum[255] ^= 0x01;
    struct Case {
        const char* what;
        Bytes block;
        const char* reason;
    };
    for (const Case& c :
         {Case{"marker", badMarker, "marker"}, Case{"checksum", badSum, "checksum"}}) {
        EXPECT_TRUE(send({0x5A, 0x5A, 0x5A, 0x43, 0x57, 0x20}).empty());
        EXPECT_TRUE(send(c.block, 20).empty()); // no acknowledgement
        EXPECT_TRUE(has(last("block-write-rejected"), std::string("\"reason\":\"") + c.reason))
            << c.what;
        EXPECT_EQ(send({0x12, 0x62})[34], 8) << c.what;
    }
    // The payload may arrive in pieces after the command.
    send({0x12, 0x63});
    send(Bytes(good.begin(), good.begin() + 100), 20);
    send(Bytes(good.begin() + 100, good.end()), 5);
    EXPECT_TRUE(has(last("block-write"), "{\"offset\":34,\"old\":8,\"new\":5}"));
    EXPECT_TRUE(has(last("block-write"), "\"density\":5"));
    EXPECT_EQ(send({0x12, 0x62}), good);
}

TEST_F(EngineTest, IncompleteBlockWriteTimesOutAndLaterCommandsWork) {
    use("PL-Birch 220");
    send({0x5A, 0x5A, 0x5A, 0x43, 0x57, 0x20});
    send(Bytes(100, 0x78));
    wait(engine_->blockTimeoutMs + 1);
    EXPECT_TRUE(has(last("block-write-rejected"), "\"reason\":\"incomplete\""));
    EXPECT_TRUE(has(last("block-write-rejected"), "\"received\":100"));
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x01});
}

TEST_F(EngineTest, FactoryDefaultsRestoreTheProfileBlock) {
    use("PL-Maple 80");
    Bytes b = send({0x12, 0x62});
    Bytes changed = b;
    changed[34] = 1;
    changed[61] = 0; // command protocol ESC
    send({0x12, 0x63});
    send(sealed(changed));
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x00}) << "emulation follows the protocol byte";
    for (const Bytes& factory : {Bytes{0x1B, 0x1B, 0x20}, Bytes{0x1B, 0x21, 0x52}}) {
        send({0x12, 0x63});
        send(sealed(changed));
        EXPECT_TRUE(send(factory).empty());
        EXPECT_EQ(send({0x12, 0x62}), b);
    }
    EXPECT_EQ(count("factory-default"), 2);
}

TEST_F(EngineTest, IdentityReplies) {
    use("PL-Poplar 460"); // answers four version bytes
    EXPECT_EQ(
        send(Bytes{'Z', 'Z', 'Z', 'G', 'E', 'T', 'V', 'E', 'R', 'S', 'I', 'O', 'N', 0x0D, 0x0A}),
        (Bytes{1, 2, 0, 0}));
    use("PL-Nutmeg 200");
    Bytes version =
        send(Bytes{'Z', 'Z', 'Z', 'G', 'E', 'T', 'V', 'E', 'R', 'S', 'I', 'O', 'N', 0x0D, 0x0A});
    EXPECT_EQ(version, (Bytes{2, 1, 5}));
    // 1234.5 m = 411500 counts of 3 mm / 1000 ... big-endian.
    EXPECT_EQ(
        send(Bytes{'Z', 'Z', 'Z', 'G', 'E', 'T', 'J', 'O', 'U', 'R', 'N', 'E', 'Y', 0x0D, 0x0A}),
        (Bytes{0x00, 0x06, 0x47, 0x6C}));
    Bytes sn = send({0x5A, 0x5A, 0x5A, 0x47, 0x45, 0x54, 0x53, 0x4E, 0x0D, 0x0A});
    EXPECT_EQ(std::string(sn.begin(), sn.end()), "N200B6110042\r\n");
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x01});
    use("PL-Maple 112");
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x00});
}

TEST_F(EngineTest, ServiceCommandsAreJournaledAsWhatTheyAre) {
    use("PL-Nutmeg 200");
    auto t = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    struct Case {
        Bytes bytes;
        const char* kind;
    };
    const Case cases[] = {
        {{0x53, 0x45, 0x4C, 0x46, 0x54, 0x45, 0x53, 0x54, 0x0D, 0x0A}, "self-test"},
        {{0x5A, 0x5A, 0x5A, 0x4C, 0x45, 0x41, 0x52, 0x4E, 0x0D, 0x0A}, "learn"},
        {t("ZZZDENSITYTST\r\n"), "density-test"},
        {{0x5A, 0x5A, 0x5A, 0x44, 0x46, 0x55, 0x4D, 0x4F, 0x44, 0x45, 0x0D, 0x0A}, "dfu-mode"},
        {{0x1D, 0x28, 0x41, 0x02, 0x00, 0x00, 0x01}, "config-page"},
        {{0x1D, 0x28, 0x41, 0x02, 0x00, 0x00, 0x02}, "config-page"},
        {{0x1B, 0x1B, 0x04}, "module-test"},
        {{0x12, 0x56}, "module-test"},
        {{0x1B, 0x53}, "esc-standard-mode"},
    };
    for (const auto& c : cases) {
        std::size_t before = journal_->lines().size();
        EXPECT_TRUE(send(c.bytes).empty()) << c.kind;
        ASSERT_EQ(journal_->lines().size(), before + 1) << c.kind;
        EXPECT_TRUE(has(journal_->lines().back(), std::string("\"kind\":\"") + c.kind)) << c.kind;
        EXPECT_TRUE(has(journal_->lines().back(), "\"hex\":\"" + hexText(c.bytes) + "\""));
    }
    // Commands that arrive back to back in one piece are told apart.
    Bytes both = t("ZZZLEARN\r\n");
    both.insert(both.end(), {0x12, 0x62});
    EXPECT_EQ(send(both).size(), 256u);
}

TEST_F(EngineTest, KeyValueReadWriteAndEmulation) {
    use("PL-Kapok 420");
    // The 25-byte getval line of "density".
    Bytes getDensity{0x1B, 0x1C, 0x26, 0x20, 0x56, 0x31, 0x20, 0x67, 0x65, 0x74, 0x76, 0x61, 0x6C,
                     0x20, 0x22, 0x64, 0x65, 0x6E, 0x73, 0x69, 0x74, 0x79, 0x22, 0x0D, 0x0A};
    EXPECT_EQ(send(getDensity), (Bytes{'8', 0x00}));
    EXPECT_TRUE(send(kv("setval \"density\" \"12\"")).empty());
    EXPECT_EQ(send(getDensity), (Bytes{'1', '2', 0x00}));
    // A bad value is journaled and not stored.
    send(kv("setval \"media_sensor\" \"Label\""));
    EXPECT_TRUE(has(last("setval"), "\"accepted\":false"));
    EXPECT_EQ(send(kv("getval \"media_sensor\"")), (Bytes{'g', 'a', 'p', 0x00}));
    // The address arrives with a dot after each part; it is kept without the last.
    send(kv("setval \"eth_ip\" \"10.0.0.7.\""));
    EXPECT_EQ(engine_->value("eth_ip"), "10.0.0.7");
    // "ppl" is the emulation, also answered to the emulation query.
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x01});
    send(kv("setval \"ppl\" \"zpl\""));
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x04});
    send(kv("do \"factory_default\""));
    EXPECT_EQ(send(getDensity), (Bytes{'8', 0x00}));
    EXPECT_EQ(engine_->value("ppl"), "tsc");
}

TEST_F(EngineTest, MalformedKeyValueLinesAreJournaledWithoutReply) {
    use("PL-Larch 620");
    const char* lines[] = {
        "getval density",                       // key not quoted
        "fetch \"density\"",                    // unknown verb
        "getval \"density",                     // unclosed quote
        "setval \"bt_name\" \"a\"b\"",          // a quote inside the argument
        "setval \"density\"",                   // value missing
        "do \"print\" \"bitmaps\" \"A\" \"B\"", // too many pieces
    };
    for (const char* l : lines) {
        EXPECT_TRUE(send(kv(l)).empty()) << l;
        EXPECT_TRUE(has(journal_->lines().back(), "\"kind\":\"kv-malformed\"")) << l;
    }
    // A line without its CR LF is journaled after the quiet time.
    Bytes cut = kv("getval \"density\"");
    cut.resize(cut.size() - 2);
    send(cut);
    wait(engine_->idleFlushMs + 1);
    EXPECT_TRUE(has(journal_->lines().back(), "\"kind\":\"kv-malformed\""));
    EXPECT_EQ(send(kv("getval \"density\"")), (Bytes{'8', 0x00}));
}

TEST_F(EngineTest, FileDownloadWorkedPacketsAndStorage) {
    use("PL-Kapok 420");
    EXPECT_EQ(send(kv("do \"download\" \"labels\" \"E_TEST.prn\"")), (Bytes{'O', 'K'}));
    // A 1024-byte template: index 0 with n = 1024, index 1 with n = 0.
    Bytes p0 = packet(0, Bytes(1024, 0x41));
    EXPECT_EQ(send(p0), ackFor(p0, 0));
    Bytes p1 = packet(1, {});
    Bytes p1Head{0xDD, 0xCC, 0xBB, 0xAA, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(p1Head.begin(), p1Head.end(), p1.begin()));
    EXPECT_EQ(p1[kDownloadPacketSize - 2], 0x0F); // 0x030F, low byte first
    EXPECT_EQ(p1[kDownloadPacketSize - 1], 0x03);
    Bytes ack = send(p1);
    EXPECT_EQ(ack, ackFor(p1, 0));
    EXPECT_TRUE(has(last("download-complete"), "\"size\":1024"));
    EXPECT_EQ(send(kv("getval \"labels\"")),
              (Bytes{'E', '_', 'T', 'E', 'S', 'T', '.', 'p', 'r', 'n', 0}));

    // The capacity follows the stored files; delete removes the file.
    auto number = [&](const std::string& key) {
        Bytes r = send(kv("getval \"" + key + "\""));
        return std::stoll(std::string(r.begin(), r.end() - 1));
    };
    long long used = number("use_capacity");
    long long free = number("remain_capacity");
    EXPECT_EQ(used + free, 4194304);
    send(kv("do \"delete\" \"labels\" \"E_TEST.prn\""));
    EXPECT_TRUE(has(last("do"), "\"found\":true"));
    EXPECT_EQ(number("use_capacity"), used - 1024);
    EXPECT_EQ(send(kv("getval \"labels\"")), Bytes{0x00});
}

TEST_F(EngineTest, PacketOfIndex0x102CarryingABC) {
    use("PL-Larch 620");
    send(kv("do \"download\" \"bitmaps\" \"E_BIG.GRF\""));
    for (std::uint32_t i = 0; i < 0x102; ++i) {
        ASSERT_EQ(send(packet(i, Bytes(1024, static_cast<std::uint8_t>(i)))).size(), 12u);
    }
    Bytes p(kDownloadPacketSize, 0x00);
    Bytes head{0xDD, 0xCC, 0xBB, 0xAA, 0x02, 0x01, 0x00, 0x00, 0x03, 0x00, 0x41, 0x42, 0x43};
    std::copy(head.begin(), head.end(), p.begin());
    p[kDownloadPacketSize - 2] = 0xDA;
    p[kDownloadPacketSize - 1] = 0x03;
    EXPECT_EQ(send(p), ackFor(p, 0));
    EXPECT_TRUE(has(last("download-complete"), "\"size\":264195"));
}

TEST_F(EngineTest, BadPacketsGetANonZeroStatusAndEndTheDownload) {
    use("PL-Kapok 420T");
    struct Case {
        const char* what;
        std::function<Bytes()> make;
        int status;
    };
    const Case cases[] = {
        {"checksum",
         [] {
             Bytes p = packet(0, {1, 2, 3});
             p[kDownloadPacketSize - 2] ^= 1;
             return p;
         },
         1},
        {"sequence",
         [] {
             return packet(1, {1, 2, 3});
         },
         2},
        {"count",
         [] {
             Bytes p = packet(0, {});
             p[8] = 0x01;
             p[9] = 0x04; // 1025
             return p;
         },
         3},
        {"fill",
         [] {
             Bytes p = packet(0, {1, 2, 3});
             p[500] = 0x55;
             return p;
         },
         4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(send(kv("do \"download\" \"bitmaps\" \"E_X.GRF\"")), (Bytes{'O', 'K'}));
        Bytes p = c.make();
        Bytes ack = send(p);
        ASSERT_EQ(ack.size(), 12u) << c.what;
        EXPECT_EQ(ack[8], c.status) << c.what;
        EXPECT_FALSE(engine_->downloadActive()) << c.what;
        EXPECT_EQ(last("download-complete"), "") << c.what;
    }
    // Announcements with a bad class or name are answered NG.
    EXPECT_EQ(send(kv("do \"download\" \"pictures\" \"E_X.GRF\"")), (Bytes{'N', 'G'}));
    EXPECT_EQ(send(kv("do \"download\" \"bitmaps\" \"X.GRF\"")), (Bytes{'N', 'G'}));
    // Packets with nothing announced are journaled, not acknowledged.
    EXPECT_TRUE(send(packet(0, {1})).empty());
}

TEST_F(EngineTest, DownloadLargerThanFreeMemoryIsRefused) {
    use("PL-Teal 300"); // 2 MiB of storage
    send(kv("do \"download\" \"fonts\" \"E_BIG.TTF\""));
    int status = 0;
    for (std::uint32_t i = 0; status == 0 && i < 3000; ++i) {
        Bytes ack = send(packet(i, Bytes(1024, 1)));
        ASSERT_EQ(ack.size(), 12u);
        status = ack[8];
    }
    EXPECT_EQ(status, 5);
    EXPECT_EQ(send(kv("getval \"fonts\"")), Bytes{0x00});
}

TEST_F(EngineTest, AckStatusAndDropFaultsHitTheChosenPacket) {
    use("PL-Kapok 420");
    faults_.ackStatusAt = 2;
    faults_.ackStatusValue = 7;
    send(kv("do \"download\" \"bitmaps\" \"E_A.GRF\""));
    EXPECT_EQ(send(packet(0, Bytes(1024, 1)))[8], 0);
    EXPECT_EQ(send(packet(1, Bytes(1024, 1)))[8], 0);
    EXPECT_EQ(send(packet(2, Bytes(1024, 1)))[8], 7);
    faults_.clear();
    faults_.dropAfter = 1;
    send(kv("do \"download\" \"bitmaps\" \"E_A.GRF\""));
    EXPECT_EQ(send(packet(0, Bytes(1024, 1))).size(), 12u);
    EXPECT_TRUE(send(packet(1, Bytes(1024, 1))).empty());
    EXPECT_EQ(drops_, 1);
    faults_.clear();
    faults_.badChecksum = true;
    engine_->linkOpened(1, "test");
    send(kv("do \"download\" \"bitmaps\" \"E_A.GRF\""));
    Bytes p = packet(0, {9});
    Bytes ack = send(p);
    ASSERT_EQ(ack.size(), 12u);
    EXPECT_NE(ack, ackFor(p, 0));
    EXPECT_TRUE(std::equal(ack.begin(), ack.begin() + 10, ackFor(p, 0).begin()));
}

TEST_F(EngineTest, UserFontPacketsUseFFFillAndAWholePayloadChecksum) {
    use("PL-Kapok 420");
    EXPECT_EQ(send(kv("do \"userfont_download\" \"big5\"")), (Bytes{'O', 'K'}));
    Bytes p = packet(0, {0x41, 0x42, 0x43}, true);
    // 261338 = 0xFCDA over the 1034 bytes before the checksum.
    EXPECT_EQ(p[kDownloadPacketSize - 2], 0xDA);
    EXPECT_EQ(p[kDownloadPacketSize - 1], 0xFC);
    EXPECT_EQ(send(p), ackFor(p, 0));
    EXPECT_TRUE(has(last("userfont-complete"), "\"encoding\":\"big5\""));
    EXPECT_TRUE(has(last("userfont-complete"), "\"size\":3"));
    // The file window's packet form is not a user-font packet.
    send(kv("do \"userfont_download\" \"gbk\""));
    EXPECT_EQ(send(packet(0, {0x41, 0x42, 0x43}))[8], 4);
    EXPECT_EQ(send(kv("do \"userfont_download\" \"utf8\"")), (Bytes{'N', 'G'}));
}

namespace {
Bytes firmwareHeader(std::uint32_t size, const std::string& name, const std::string& version) {
    Bytes h(76, 0);
    h[4] = static_cast<std::uint8_t>(size);
    h[5] = static_cast<std::uint8_t>(size >> 8);
    h[6] = static_cast<std::uint8_t>(size >> 16);
    h[7] = static_cast<std::uint8_t>(size >> 24);
    h[8] = 2;
    std::copy(name.begin(), name.end(), h.begin() + 12);
    std::copy(version.begin(), version.end(), h.begin() + 44);
    return h;
}
} // namespace

TEST_F(EngineTest, FirmwarePackageRecordsAndFinalStatus) {
    use("PL-Larch 630P");
    send(kv("do \"dfu\""));
    Bytes h1 = firmwareHeader(3000, "MAIN", "1.03.00");
    h1[16] = ' '; // the name ends at the first byte at or below 0x20
    h1[17] = 'X';
    EXPECT_EQ(send(h1), Bytes{0x00});
    for (std::size_t piece : {1024, 1024, 952}) {
        EXPECT_TRUE(send(Bytes(piece, 0x11), 10).empty());
    }
    EXPECT_EQ(send(firmwareHeader(100, "FONT", "2")), Bytes{0x00});
    EXPECT_TRUE(send(Bytes(100, 0x22), 10).empty());
    EXPECT_EQ(count("firmware-body"), 4);
    EXPECT_TRUE(has(last("firmware-header"), "\"name\":\"FONT\""));
    EXPECT_TRUE(wait(engine_->fwQuietMs - 10).empty());
    EXPECT_EQ(wait(20), Bytes{0x00});
    EXPECT_TRUE(has(last("firmware-complete"), "\"records\":[\"MAIN\",\"FONT\"]"));
    EXPECT_TRUE(has(last("firmware-complete"), "\"bytes\":3100"));
    // Back to normal commands afterwards.
    EXPECT_EQ(send(kv("getval \"dpi\"")), (Bytes{'3', '0', '0', 0}));
}

TEST_F(EngineTest, FirmwareBodyCutShortAndStatusFaults) {
    use("PL-Larch 620");
    send(kv("do \"dfu\""));
    EXPECT_EQ(send(firmwareHeader(2500, "MAIN", "1")), Bytes{0x00});
    send(Bytes(1024, 0), 10);
    EXPECT_EQ(wait(2 * engine_->fwQuietMs + 1), Bytes{0x05});
    EXPECT_TRUE(has(last("firmware-complete"), "\"expected\":2500,\"received\":1024"));

    faults_.fwStatusValue = 3;
    faults_.fwStatusAt = 0;
    send(kv("do \"dfu\""));
    EXPECT_EQ(send(firmwareHeader(10, "MAIN", "1")), Bytes{0x03});
    faults_.fwStatusAt = -1;
    send(kv("do \"dfu\""));
    EXPECT_EQ(send(firmwareHeader(10, "MAIN", "1")), Bytes{0x00});
    send(Bytes(10, 0));
    EXPECT_EQ(wait(engine_->fwQuietMs + 1), Bytes{0x03});
    faults_.clear();
    // A header that names no record, and one of size 0.
    send(kv("do \"dfu\""));
    EXPECT_EQ(send(firmwareHeader(10, "", "1")), Bytes{0x06});
    send(kv("do \"dfu\""));
    EXPECT_EQ(send(firmwareHeader(0, "MAIN", "1")), Bytes{0x02});
}

TEST_F(EngineTest, PrintJobsOfEveryFamily) {
    use("PL-Kapok 420");
    auto t = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    // The label window writes each command separately.
    for (const char* part : {"CLS\r\n", "SIZE 40 mm,30 mm\r\n", "TEXT 10,10,\"9\",0,1,1,\"AB\"\r\n",
                             "TEXT 10,64,\"9\",0,1,1,\"CD\"\r\n", "PRINT 1\r\n"}) {
        send(t(part));
    }
    std::string job = last("job-tspl");
    EXPECT_TRUE(has(job, "\"size\":\"40 mm,30 mm\"")) << job;
    EXPECT_TRUE(has(job, "\"texts\":[\"AB\",\"CD\"]")) << job;
    EXPECT_TRUE(has(job, "\"complete\":true"));
    struct Case {
        std::string bytes;
        const char* kind;
        const char* part;
    };
    const Case cases[] = {
        {"^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF^FDHello^FS\r\n^XZ\r\n", "job-zpl",
         "\"texts\":[\"Hello\"],\"fonts\":[\"SIMSUN.TTF\"]"},
        {"N\r\nA300,10,0,1,2,2,N,\"Hi\"\r\nP1\r\n", "job-epl", "\"texts\":[\"Hi\"]"},
        {"! 0 20 20 60 1\r\nT 9 0 8 8 Hello there\r\nFORM\r\nPRINT\r\n", "job-cpcl",
         "\"texts\":[\"Hello there\"]"},
        {"SIZE 30 mm,30 mm\r\nCLS\r\nTEXT 10,10,\"E_ARIAL.TTF\",0,24,24,\"x\"\r\nPRINT 1,1\r\n",
         "job-tspl", "\"fonts\":[\"E_ARIAL.TTF\"]"},
        {"Hello\n", "text", "\"text\":\"Hello\""},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(send(t(c.bytes)).empty()) << c.kind;
        EXPECT_TRUE(has(last(c.kind), c.part)) << last(c.kind);
    }
    // A job that never ends is journaled after the quiet time.
    send(t("CLS\r\n"));
    wait(engine_->jobIdleMs + 1);
    EXPECT_TRUE(has(last("job-tspl"), "\"complete\":false"));
}

TEST_F(EngineTest, RandomBytesNeverBreakTheParser) {
    use("PL-Kapok 420");
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        Bytes junk(static_cast<std::size_t>(rng() % 3000));
        for (auto& b : junk) {
            b = static_cast<std::uint8_t>(rng());
        }
        send(junk, static_cast<int>(rng() % 400));
    }
    wait(5000);
    wait(5000);
    // Still answers afterwards, and the garbage was journaled.
    EXPECT_EQ(send(kv("getval \"density\"")), (Bytes{'8', 0}));
    EXPECT_GT(count("unknown") + count("text"), 0);
}

TEST_F(EngineTest, StateSurvivesSaveAndLoad) {
    use("PL-Kapok 420");
    send(kv("setval \"density\" \"3\""));
    send(kv("do \"download\" \"bitmaps\" \"R_A.GRF\""));
    send(packet(0, makeDemoRaster(8, 8)));
    std::string path = ::testing::TempDir() + "vp-state-test.txt";
    std::string error;
    ASSERT_TRUE(engine_->saveState(path, error)) << error;
    use("PL-Kapok 420");
    EXPECT_EQ(engine_->value("density"), "8");
    ASSERT_TRUE(engine_->loadState(path, error)) << error;
    EXPECT_EQ(engine_->value("density"), "3");
    EXPECT_EQ(send(kv("getval \"bitmaps\"")),
              (Bytes{'E', '_', 'L', 'O', 'G', 'O', '.', 'G', 'R', 'F', ',', 'R', '_', 'A', '.', 'G',
                     'R', 'F', 0}));
    use("PL-Larch 620");
    EXPECT_FALSE(engine_->loadState(path, error));
    EXPECT_NE(error.find("PL-Kapok 420"), std::string::npos);
    std::remove(path.c_str());
}

TEST(Journal, LinesAreJsonAndTheLauncherReadsTheFieldsBack) {
    Journal j;
    j.keepInMemory(true);
    std::string nasty = std::string("a\"b\\c\nd\te") + '\x01' + '\x80' + '\xFF';
    JsonLine line("text");
    line.hex(Bytes{0x1B, 0x00, 0xFF}).str("text", nasty).num("n", -5).flag("ok", true);
    j.write(line);
    ASSERT_EQ(j.lines().size(), 1u);
    const std::string& l = j.lines()[0];
    // Only printable ASCII in the line; every other byte is escaped.
    for (unsigned char c : l) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
    }
    EXPECT_EQ(l.rfind("{\"time\":\"", 0), 0u);
    EXPECT_NE(l.find("\"kind\":\"text\",\"hex\":\"1B 00 FF\""), std::string::npos) << l;
    EXPECT_EQ(pellum::testing::VirtualPrinterProcess::field(l, "text"), nasty);
    EXPECT_EQ(pellum::testing::VirtualPrinterProcess::field(l, "hex"), "1B 00 FF");
    EXPECT_EQ(pellum::testing::VirtualPrinterProcess::field(l, "n"), "-5");
    EXPECT_EQ(pellum::testing::VirtualPrinterProcess::field(l, "ok"), "true");
    EXPECT_EQ(pellum::testing::VirtualPrinterProcess::field(l, "absent"), "");
}

TEST_F(EngineTest, ControlChannelCommands) {
    use("PL-Kapok 420");
    EXPECT_EQ(engine_->control("set media_sensor black mark"), "OK");
    EXPECT_EQ(engine_->control("get media_sensor"), "OK black mark");
    EXPECT_EQ(send(kv("getval \"media_sensor\"")),
              (Bytes{'b', 'l', 'a', 'c', 'k', ' ', 'm', 'a', 'r', 'k', 0}));
    EXPECT_EQ(engine_->control("files"), "OK bitmaps:E_LOGO.GRF:580");
    EXPECT_EQ(engine_->control("emulation 5"), "OK");
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x05});
    EXPECT_EQ(engine_->control("delay 30").substr(0, 2), "OK");
    EXPECT_EQ(faults_.delayMs, 30);
    EXPECT_EQ(engine_->control("clear").substr(0, 2), "OK");
    EXPECT_EQ(faults_.delayMs, 0);
    EXPECT_EQ(engine_->control("frobnicate").substr(0, 3), "ERR");
    EXPECT_EQ(engine_->control("png E_NONE.GRF /tmp/x.png").substr(0, 3), "ERR");

    use("PL-Sumac 310");
    std::string fields = engine_->control("fields");
    EXPECT_NE(fields.find("\"baud_rate\":4"), std::string::npos) << fields;
    Bytes b(256, 0x01);
    EXPECT_EQ(engine_->control("set-block " + hexText(b)), "OK");
    EXPECT_EQ(send({0x12, 0x62}), b) << "served as given";
    EXPECT_EQ(engine_->control("set-block 78 00").substr(0, 3), "ERR");
    EXPECT_EQ(engine_->control("block"), "OK " + hexText(b));
    EXPECT_EQ(count("control"), 4) << "every command is journaled";
}

TEST_F(EngineTest, EndlessTextIsJournaledInPiecesNotHoarded) {
    use("PL-Nutmeg 200");
    for (int i = 0; i < 4; ++i) {
        send(Bytes(40000, 'A'));
    }
    EXPECT_GE(count("text"), 2) << "journaled while it still arrives";
    EXPECT_TRUE(has(last("text"), "\"terminated\":false"));
    EXPECT_EQ(send({0x1B, 0x1B, 0x08}), Bytes{0x01}) << "a command right after it is still seen";
}

TEST_F(EngineTest, IgnoreWritesAcceptsSettingWritesButKeepsTheStoredSettings) {
    // A program that verifies its writes by reading back must see the old
    // values; everything else about the write looks as usual.
    struct Case {
        const char* model;
        std::function<void()> write; // writes density 5
        std::function<Bytes()> read; // reads density back
        Bytes before;
        const char* kind;
    };
    const Case cases[] = {
        {"PL-Nutmeg 200",
         [this] {
             Bytes b = send({0x12, 0x62});
             b[34] = 5;
             send({0x12, 0x63});
             EXPECT_TRUE(send(sealed(b)).empty());
         },
         [this] {
             return Bytes{send({0x12, 0x62}).at(34)};
         },
         Bytes{8}, "block-write"},
        {"PL-Kapok 420", [this] { EXPECT_TRUE(send(kv("setval \"density\" \"5\"")).empty()); },
         [this] { return send(kv("getval \"density\"")); }, Bytes{'8', 0}, "setval"},
    };
    for (const auto& c : cases) {
        use(c.model);
        faults_.ignoreWrites = true;
        c.write();
        EXPECT_EQ(c.read(), c.before) << c.model;
        std::string line = last(c.kind);
        EXPECT_TRUE(has(line, "\"fault_ignored\":true")) << line;
        EXPECT_EQ(last(std::string(c.kind) + "-rejected"), "") << "accepted as usual";
        if (std::string(c.kind) == "setval") {
            EXPECT_TRUE(has(line, "\"accepted\":true")) << line;
        } else {
            EXPECT_TRUE(has(line, "{\"offset\":34,\"old\":8,\"new\":5}")) << line;
        }
        // Without the fault the same write is stored.
        faults_.ignoreWrites = false;
        c.write();
        EXPECT_NE(c.read(), c.before) << c.model;
    }
    // A write that the printer rejects stays rejected under the fault.
    use("PL-Nutmeg 200");
    faults_.ignoreWrites = true;
    send({0x12, 0x63});
    send(Bytes(256, 0x00));
    EXPECT_TRUE(has(last("block-write-rejected"), "\"reason\":\"marker\""));
    use("PL-Kapok 420");
    send(kv("setval \"density\" \"99\""));
    EXPECT_TRUE(has(last("setval"), "\"accepted\":false"));
    EXPECT_FALSE(has(last("setval"), "fault_ignored"));
    faults_.clear();
}
