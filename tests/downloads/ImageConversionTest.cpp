// Picture decoding, the two-colour reduction and the raster record.
//
// The pictures are made here: BMPs byte by byte, PNG, JPEG and GIF through
// the encoders of the same libraries, so each decoder is checked against an
// independent writer. Damaged files are cut or corrupted copies of good ones.
#include "downloads/ImageConversion.h"

#include "core/Localization.h"
#include "core/ProgramFiles.h"

#include "TestPictures.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <random>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

using namespace ImageConversion;

namespace {

using downloads_test::kFace;
using downloads_test::MakeBmp;
using downloads_test::Pattern;

std::vector<std::uint8_t> Rgba(const Pattern& pattern) {
    std::vector<std::uint8_t> px;
    for (const std::string& row : pattern)
        for (char c : row) {
            const std::uint8_t v = c == '#' ? 0 : 0xFF;
            px.insert(px.end(), {v, v, v, 0xFF});
        }
    return px;
}

QByteArray MakePng(const Pattern& pattern) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(pattern[0].size());
    image.height = png_uint_32(pattern.size());
    image.format = PNG_FORMAT_RGBA;
    const std::vector<std::uint8_t> px = Rgba(pattern);
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, px.data(), 0, nullptr));
    QByteArray out(qsizetype(size), '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, px.data(), 0, nullptr));
    return out;
}

QByteArray MakeJpeg(const Pattern& pattern, int scale) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(pattern[0].size() * scale);
    info.image_height = JDIMENSION(pattern.size() * scale);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> line(info.image_width * 3);
    for (JDIMENSION y = 0; y < info.image_height; ++y) {
        const std::string& row = pattern[y / scale];
        for (JDIMENSION x = 0; x < info.image_width; ++x)
            std::memset(&line[x * 3], row[x / scale] == '#' ? 0 : 0xFF, 3);
        JSAMPROW rows[1] = {line.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(mem), qsizetype(size));
    std::free(mem);
    return out;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), n);
    return n;
}

// A GIF with one frame per pattern (all the same size); colour 2 is
// transparent in the frames when `transparentDot` is set at (0, 0).
QByteArray MakeGif(const std::vector<Pattern>& frames, bool transparentFirstDot = false) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    EXPECT_NE(gif, nullptr);
    GifColorType colours[4] = {{255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    const int w = int(frames[0][0].size()), h = int(frames[0].size());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 2, 0, map);
    for (const Pattern& f : frames) {
        GraphicsControlBlock gcb{};
        gcb.DelayTime = 10;
        gcb.TransparentColor = transparentFirstDot ? 2 : NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
        EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
        for (int y = 0; y < h; ++y) {
            std::vector<GifPixelType> line(w);
            for (int x = 0; x < w; ++x)
                line[x] = (transparentFirstDot && x == 0 && y == 0) ? 2 : (f[y][x] == '#' ? 1 : 0);
            EGifPutLine(gif, line.data(), w);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Pattern PatternOf(const MonoBitmap& m) {
    Pattern p;
    for (int y = 0; y < m.height; ++y) {
        std::string row;
        for (int x = 0; x < m.width; ++x)
            row += m.black(x, y) ? '#' : '.';
        p.push_back(row);
    }
    return p;
}

Pattern Mono(const Picture& p) {
    return PatternOf(StretchToMono(p, p.width, p.height));
}

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder.makeCurrent();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QStringList MessageTexts() const {
        QStringList t;
        for (const auto& m : dialogs.messages)
            t << m.text;
        return t;
    }
    QString Msg(const char* key) { return pellum::lang::Msg(QLatin1String(key)); }
    pellum::test::TempProgramFolder folder;
    pellum::test::RecordingDialogs dialogs;
    QTemporaryDir dir;
};

} // namespace

TEST(RasterRecord, BytesOfSmallPictures) {
    struct Case {
        const char* name;
        Pattern pattern;
        const char* hex;
    } cases[] = {
        {"1 x 1 black", {"#"}, "0100010080000000000000 00"},
        {"8 x 8 white", Pattern(8, "........"), "01000100 0000000000000000"},
        {"8 x 8 black", Pattern(8, "########"), "01000100 FFFFFFFFFFFFFFFF"},
        {"9 wide black", Pattern(8, "#########"), "02000100 FF80FF80FF80FF80FF80FF80FF80FF80"},
        {"9 high black", Pattern(9, "########"), "01000200 FFFFFFFFFFFFFFFF FF00000000000000"},
        {"3 wide, mixed", {"#.#", ".#."}, "01000100 A0 40 000000000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture p;
        p.width = int(c.pattern[0].size());
        p.height = int(c.pattern.size());
        p.rgba = Rgba(c.pattern);
        const MonoBitmap mono = StretchToMono(p, p.width, p.height);
        EXPECT_EQ(RasterRecordOf(mono).toHex(' ').toUpper(),
                  Hex(QByteArray(c.hex).replace(' ', "").constData()).toHex(' ').toUpper());
        // The same through the scratch BMP: its padding bits never reach the
        // record.
        EXPECT_EQ(RasterRecordOf(ReadMonoBmp(EncodeMonoBmp(mono))), RasterRecordOf(mono));
    }
}

TEST(RasterRecord, RefusesPicturesBeyondItsFields) {
    MonoBitmap m;
    m.width = 8;
    m.height = 65535 * 8 + 1;
    m.bytesPerRow = 1;
    m.rows.assign(std::size_t(m.height), 0xFF);
    EXPECT_THROW(RasterRecordOf(m), ImageError);
}

TEST(Scaling, SidesRoundHalvesToEven) {
    struct Case {
        int side;
        float factor;
        int expected;
    } cases[] = {{3, 1.5f, 4}, {5, 1.5f, 8},  {400, 2.5f, 1000}, {300, 2.5f, 750},
                 {1, 1.0f, 1}, {7, 3.0f, 21}, {1, 2.5f, 2},      {3, 2.5f, 8}};
    for (const Case& c : cases)
        EXPECT_EQ(ScaledSide(c.side, c.factor), c.expected) << c.side << " x " << c.factor;
}

TEST(Scaling, EnlargesByRepeatingDots) {
    Picture p;
    p.width = 2;
    p.height = 1;
    p.rgba = Rgba({"#."});
    EXPECT_EQ(PatternOf(StretchToMono(p, 4, 2)), (Pattern{"##..", "##.."}));
    EXPECT_EQ(PatternOf(StretchToMono(p, 3, 1)).size(), 1u);
    // Transparent dots are drawn as white; grey turns black below one half.
    Picture t;
    t.width = 3;
    t.height = 1;
    t.rgba = {0, 0, 0, 0, 100, 100, 100, 255, 200, 200, 200, 255};
    EXPECT_EQ(Mono(t), (Pattern{".#."}));
}

TEST(Decoders, EveryFormatShowsThePicture) {
    struct Case {
        const char* name;
        std::function<Picture()> decode;
    } cases[] = {
        {"BMP 1 bit bottom-up", [] { return DecodeBmp(MakeBmp(kFace, 1, false)); }},
        {"BMP 1 bit top-down", [] { return DecodeBmp(MakeBmp(kFace, 1, true)); }},
        {"BMP 4 bit", [] { return DecodeBmp(MakeBmp(kFace, 4, false)); }},
        {"BMP 8 bit top-down", [] { return DecodeBmp(MakeBmp(kFace, 8, true)); }},
        {"BMP 24 bit", [] { return DecodeBmp(MakeBmp(kFace, 24, false)); }},
        {"BMP 32 bit top-down", [] { return DecodeBmp(MakeBmp(kFace, 32, true)); }},
        {"PNG", [] { return DecodePng(MakePng(kFace)); }},
        {"GIF", [] { return DecodeGif(MakeGif({kFace})); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture p = c.decode();
        EXPECT_EQ(Mono(p), kFace);
    }
    // JPEG is lossy: blocks of 8 x 8 dots per pattern dot keep it exact.
    const Picture jpeg = DecodeJpeg(MakeJpeg(kFace, 8));
    ASSERT_EQ(jpeg.width, 32);
    const MonoBitmap m = StretchToMono(jpeg, 4, 3);
    EXPECT_EQ(PatternOf(m), kFace);
}

TEST(Decoders, GifGivesItsFirstFrameAndTransparencyAsWhite) {
    const Pattern second = {"####", "####", "####"};
    EXPECT_EQ(Mono(DecodeGif(MakeGif({kFace, second}))), kFace);
    const Pattern allBlack = {"####", "####", "####"};
    EXPECT_EQ(Mono(DecodeGif(MakeGif({allBlack}, true))), (Pattern{".###", "####", "####"}));
}

TEST(Decoders, DamagedFilesAreRefusedNeverReadBeyond) {
    struct Format {
        const char* name;
        QByteArray good;
        Picture (*decode)(const QByteArray&);
        int trailer; // bytes after the last picture data
    } formats[] = {
        {"BMP 8 bit", MakeBmp(kFace, 8, false), DecodeBmp, 0},
        {"BMP 24 bit", MakeBmp(kFace, 24, true), DecodeBmp, 0},
        {"PNG", MakePng(kFace), DecodePng, 12},
        {"JPEG", MakeJpeg(kFace, 8), DecodeJpeg, 2},
        {"GIF", MakeGif({kFace}), DecodeGif, 1},
    };
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        ASSERT_NO_THROW(f.decode(f.good));
        // Every cut short of the whole file that removes picture data.
        for (qsizetype cut : {qsizetype(0), qsizetype(1), qsizetype(10), f.good.size() / 2,
                              f.good.size() - f.trailer - 1}) {
            SCOPED_TRACE(cut);
            EXPECT_THROW(f.decode(f.good.left(cut)), ImageError);
        }
        // Random damage must either decode or be refused, never crash.
        std::mt19937 random(7);
        for (int round = 0; round < 200; ++round) {
            QByteArray bad = f.good;
            for (int k = 0; k < 4; ++k)
                bad[random() % bad.size()] = char(random());
            try {
                f.decode(bad);
            } catch (const ImageError& e) {
                EXPECT_FALSE(e.text().isEmpty());
            }
        }
    }
}

TEST(Decoders, HostileHeadersAreRefused) {
    QByteArray huge = MakeBmp(kFace, 24, false);
    // 100000 x 100000 dots claimed by a small file.
    huge[18] = char(0xA0), huge[19] = char(0x86), huge[20] = 0x01, huge[21] = 0;
    huge[22] = char(0xA0), huge[23] = char(0x86), huge[24] = 0x01, huge[25] = 0;
    EXPECT_THROW(DecodeBmp(huge), ImageError);
    QByteArray wide = MakeBmp(kFace, 24, false);
    wide[18] = 0x40; // 64 dots wide: rows run past the end of the file
    EXPECT_THROW(DecodeBmp(wide), ImageError);
    QByteArray offset = MakeBmp(kFace, 8, false);
    offset[10] = char(0xF0), offset[11] = char(0xFF), offset[12] = char(0xFF), offset[13] = 0x7F;
    EXPECT_THROW(DecodeBmp(offset), ImageError);
    QByteArray index = MakeBmp(kFace, 8, false);
    index[46] = 2; // a palette of 2 while the rows use index 1 only: fine
    EXPECT_NO_THROW(DecodeBmp(index));
    index[index.size() - 4] = char(0x20); // a pixel naming colour 32
    EXPECT_THROW(DecodeBmp(index), ImageError);
    EXPECT_THROW(DecodeBmp(QByteArray("BM")), ImageError);
}

TEST_F(ImageFiles, ConversionWritesTheScratchBitmapOrSaysWhy) {
    const QString dest = pellum::files::ConvertedBitmapPath;
    // A good picture: 1-bit BMP at the scaled size, black index 0.
    const QString png = Write(QStringLiteral("logo.png"), MakePng(kFace));
    ASSERT_TRUE(ConvertImageFile(png, dest, 2.0f));
    EXPECT_TRUE(dialogs.messages.empty());
    QFile f(dest);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bmp = f.readAll();
    EXPECT_EQ(bmp.mid(28, 2), Hex("0100")); // 1 bit per pixel
    EXPECT_EQ(bmp.mid(54, 8), Hex("00000000FFFFFF00"));
    const MonoBitmap m = ReadMonoBmp(bmp);
    EXPECT_EQ(m.width, 8);
    EXPECT_EQ(m.height, 6);
    EXPECT_EQ(PatternOf(m)[0], "##....##");
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(pellum::files::ProgramFolder).entryList({QStringLiteral("CBT*")}, QDir::Files),
              QStringList{QStringLiteral("CBT.bmp")});

    struct Case {
        const char* name;
        QString path;
        bool throws;
        QStringList messages;
    } cases[] = {
        {"missing file",
         dir.filePath(QStringLiteral("none.png")),
         false,
         {Msg("_Err_FileNotExist")}},
        {"capital extension",
         Write(QStringLiteral("LOGO.JPG"), MakeJpeg(kFace, 8)),
         false,
         {Msg("_E_IC")}},
        {".jpeg is no extension of the four",
         Write(QStringLiteral("a.jpeg"), MakeJpeg(kFace, 8)),
         false,
         {Msg("_E_IC")}},
        {"damaged PNG",
         Write(QStringLiteral("bad.png"), MakePng(kFace).left(30)),
         true,
         {Msg("_E_IC")}},
        {"a PNG named .gif",
         Write(QStringLiteral("png.gif"), MakePng(kFace)),
         true,
         {Msg("_E_IC")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        if (c.throws)
            EXPECT_THROW(ConvertImageFile(c.path, dest, 1.0f), ImageError);
        else
            EXPECT_FALSE(ConvertImageFile(c.path, dest, 1.0f));
        EXPECT_EQ(MessageTexts(), c.messages);
    }
    // The same JPEG with its lower-case extension is accepted.
    EXPECT_TRUE(
        ConvertImageFile(Write(QStringLiteral("logo.jpg"), MakeJpeg(kFace, 8)), dest, 1.0f));
}

TEST_F(ImageFiles, WidthCheckAtBothResolutions) {
    Pattern wide(300, std::string(400, '.'));
    wide[0][0] = '#';
    const QString bmp = Write(QStringLiteral("wide.bmp"), MakeBmp(wide, 1, false));
    const QString dest = pellum::files::ConvertedBitmapPath;
    ASSERT_TRUE(ConvertImageFile(bmp, dest, 2.5f));
    const MonoBitmap m = ReadMonoBmp([&] {
        QFile f(dest);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());
    EXPECT_EQ(m.width, 1000);
    EXPECT_EQ(m.height, 750);
    EXPECT_TRUE(CheckImageWidth(dest, MaxImageWidth(300)));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(CheckImageWidth(dest, MaxImageWidth(203)));
    EXPECT_EQ(MessageTexts(), QStringList{Msg("_E_ITW")});
    dialogs.messages.clear();
    EXPECT_FALSE(CheckImageWidth(dir.filePath(QStringLiteral("gone.bmp")), 864));
    EXPECT_EQ(MessageTexts(), QStringList{Msg("_Err_FileNotExist")});
    const QByteArray record = BuildRasterRecord(dest);
    EXPECT_EQ(record.left(4), Hex("7D005E00")); // 125 bytes per row, 94 blocks
    EXPECT_EQ(record.size(), 4 + 125 * 94 * 8);
    EXPECT_EQ(std::uint8_t(record[4]), 0xC0); // the black dot, enlarged by its nearest dots
}

namespace {

// A run-length-encoded BMP of `bits` (8 or 4) bits per pixel with a palette
// of white (index 0) and black (index 1) and the given codes as its data.
QByteArray MakeRleBmp(int width, int height, int bits, const QByteArray& codes) {
    using downloads_test::Put16;
    using downloads_test::Put32;
    const int offBits = 14 + 40 + 8;
    QByteArray b("BM");
    Put32(b, std::uint32_t(offBits + codes.size()));
    Put32(b, 0);
    Put32(b, std::uint32_t(offBits));
    Put32(b, 40);
    Put32(b, std::uint32_t(width));
    Put32(b, std::uint32_t(height));
    Put16(b, 1);
    Put16(b, std::uint32_t(bits));
    Put32(b, bits == 8 ? 1 : 2);
    Put32(b, std::uint32_t(codes.size()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 2);
    Put32(b, 0);
    b.append(QByteArray::fromHex("FFFFFF0000000000"));
    return b + codes;
}

// A picture of w x h pixels given by a function of its position.
using PixelAt = std::function<std::array<std::uint8_t, 4>(int x, int y)>;

QByteArray JpegOf(int w, int h, bool grey, const PixelAt& at) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> line(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto px = at(x, y);
            if (grey)
                line[x] = px[0];
            else
                std::memcpy(&line[std::size_t(x) * 3], px.data(), 3);
        }
        JSAMPROW rows[1] = {line.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(mem), qsizetype(size));
    std::free(mem);
    return out;
}

QByteArray PngOf(int w, int h, const PixelAt& at) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto p = at(x, y);
            px.insert(px.end(), p.begin(), p.end());
        }
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, px.data(), 0, nullptr));
    QByteArray out(qsizetype(size), '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, px.data(), 0, nullptr));
    return out;
}

// Colours around the black/white border: a grey ramp across, colour and
// transparency changing down the picture.
std::array<std::uint8_t, 4> Ramp(int x, int y) {
    const std::uint8_t g = std::uint8_t(100 + (x * 7 + y) % 60);
    return {std::uint8_t(g + (y % 3) * 9), g, std::uint8_t(g - (y % 5) * 7),
            std::uint8_t(255 - (y % 4) * 40)};
}

} // namespace

TEST(RunLengthBmp, CodesOfBothDepths) {
    struct Case {
        const char* name;
        int width, height, bits;
        const char* codes;
        Pattern expected; // empty: refused
    } cases[] = {
        {"8 bit runs, bottom row first",
         4,
         2,
         8,
         "0201 0200 0000 0101 0200 0101 0001",
         {"#..#", "##.."}},
        {"8 bit pixels as stored, padded to a word", 5, 1, 8, "0005 0100010001 00 0001", {"#.#.#"}},
        {"move right and up; skipped pixels keep colour 0",
         4,
         2,
         8,
         "0002 0101 0101 0001",
         {".#..", "...."}},
        {"4 bit run alternates its two colours", 5, 1, 4, "0510 0001", {"#.#.#"}},
        {"4 bit pixels as stored", 3, 1, 4, "0003 1010 0001", {"#.#"}},
        {"4 bit pixels as stored, padded to a word", 5, 1, 4, "0005 101010 00 0001", {"#.#.#"}},
        {"data ending after the last row needs no end code", 2, 1, 8, "0201 0000", {"##"}},
        {"a run past the right edge", 2, 1, 8, "0301 0001", {}},
        {"a move past the right edge", 2, 2, 8, "0002 0300 0001", {}},
        {"a move above the picture", 2, 2, 8, "0002 0003 0001", {}},
        {"pixels above the last row", 1, 1, 8, "0000 0101 0001", {}},
        {"data ending inside the picture", 2, 2, 8, "0201", {}},
        {"a code cut in half", 2, 1, 8, "02", {}},
        {"stored pixels cut short", 4, 1, 8, "0004 0101", {}},
        {"stored pixels without their padding", 3, 1, 8, "0003 010101", {}},
        {"a move cut short", 2, 2, 8, "0002 01", {}},
        {"a colour the palette lacks", 1, 1, 8, "0105 0001", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray file =
            MakeRleBmp(c.width, c.height, c.bits, QByteArray::fromHex(QByteArray(c.codes)));
        if (c.expected.empty()) {
            EXPECT_THROW(DecodeBmp(file), ImageError);
            EXPECT_THROW(DecodeToMono(PictureFormat::Bmp, file, 1.0f), ImageError);
            continue;
        }
        EXPECT_EQ(Mono(DecodeBmp(file)), c.expected);
        EXPECT_EQ(PatternOf(DecodeToMono(PictureFormat::Bmp, file, 1.0f)), c.expected);
    }
    // Run-length pictures are stored bottom-up only; the wrong depth for the
    // encoding is refused too.
    QByteArray topDown = MakeRleBmp(2, 1, 8, QByteArray::fromHex("02010001"));
    topDown[22] = char(0xFF), topDown[23] = char(0xFF), topDown[24] = char(0xFF),
    topDown[25] = char(0xFF);
    EXPECT_THROW(DecodeBmp(topDown), ImageError);
    QByteArray wrongDepth = MakeRleBmp(2, 1, 8, QByteArray::fromHex("02010001"));
    wrongDepth[30] = 2; // the 4-bit encoding on an 8-bit picture
    EXPECT_THROW(DecodeBmp(wrongDepth), ImageError);
}

TEST(Conversion, OnePassGivesTheDotsOfTheColourRoute) {
    const int w = 61, h = 23;
    struct Case {
        const char* name;
        PictureFormat format;
        QByteArray file;
    } cases[] = {
        {"JPEG colour", PictureFormat::Jpeg, JpegOf(w, h, false, Ramp)},
        {"JPEG grey", PictureFormat::Jpeg, JpegOf(w, h, true, Ramp)},
        {"PNG with transparency", PictureFormat::Png, PngOf(w, h, Ramp)},
        {"GIF", PictureFormat::Gif, MakeGif({kFace}, true)},
        {"BMP 8 bit run-length", PictureFormat::Bmp,
         MakeRleBmp(4, 2, 8, QByteArray::fromHex("02010200000001010200010100 01"))},
        {"BMP 32 bit", PictureFormat::Bmp, MakeBmp(kFace, 32, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture colours = Decode(c.format, c.file);
        for (const char* f : {"1.0", "1.5", "2.5", "3.0"}) {
            SCOPED_TRACE(f);
            const float factor = QByteArray(f).toFloat();
            const MonoBitmap viaColours = StretchToMono(colours, ScaledSide(colours.width, factor),
                                                        ScaledSide(colours.height, factor));
            const MonoBitmap onePass = DecodeToMono(c.format, c.file, factor);
            EXPECT_EQ(PatternOf(onePass), PatternOf(viaColours));
            EXPECT_EQ(RasterRecordOf(onePass), RasterRecordOf(viaColours));
        }
    }
}

TEST(Conversion, HeadersStateTheSize) {
    const QByteArray jpeg = JpegOf(40, 9, false, Ramp);
    QByteArray withMetadata = jpeg.left(2) + QByteArray::fromHex("FFE1 0006") + "Exif" +
                              QByteArray::fromHex("FFFF") + jpeg.mid(2);
    struct Case {
        const char* name;
        PictureFormat format;
        QByteArray start;
        int width, height; // 0: nothing stated
    } cases[] = {
        {"JPEG", PictureFormat::Jpeg, jpeg.left(700), 40, 9},
        {"JPEG with metadata and fill bytes", PictureFormat::Jpeg, withMetadata.left(700), 40, 9},
        {"JPEG cut before its frame header", PictureFormat::Jpeg, jpeg.left(20), 0, 0},
        {"PNG", PictureFormat::Png, PngOf(33, 7, Ramp).left(24), 33, 7},
        {"GIF", PictureFormat::Gif, MakeGif({kFace}).left(10), 4, 3},
        {"BMP bottom-up", PictureFormat::Bmp, MakeBmp(kFace, 24, false).left(26), 4, 3},
        {"BMP top-down", PictureFormat::Bmp, MakeBmp(kFace, 24, true).left(26), 4, 3},
        {"a PNG named .jpg", PictureFormat::Jpeg, PngOf(33, 7, Ramp), 0, 0},
        {"nothing", PictureFormat::Bmp, QByteArray(), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto size = SizeFromHeader(c.format, c.start);
        if (c.width == 0) {
            EXPECT_FALSE(size.has_value());
            continue;
        }
        ASSERT_TRUE(size.has_value());
        EXPECT_EQ(size->width, c.width);
        EXPECT_EQ(size->height, c.height);
    }
}

TEST_F(ImageFiles, DownloadConversionRefusesTooWideFromTheHeaderAndMatchesTheFileRoute) {
    const QString dest = pellum::files::ConvertedBitmapPath;
    int asked = 0;
    const auto limit864 = [&asked] {
        ++asked;
        return 864;
    };
    // The same record as converting to the scratch file and reading it back.
    for (const QString& name : {QStringLiteral("ramp.jpg"), QStringLiteral("ramp.png"),
                                QStringLiteral("face.gif"), QStringLiteral("face.bmp")}) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = name.endsWith(QLatin1String(".jpg")) ? JpegOf(70, 30, false, Ramp)
                                 : name.endsWith(QLatin1String(".png")) ? PngOf(70, 30, Ramp)
                                 : name.endsWith(QLatin1String(".gif")) ? MakeGif({kFace})
                                                                        : MakeBmp(kFace, 4, false);
        const QString path = Write(name, bytes);
        asked = 0;
        QByteArray record;
        MonoBitmap bitmap;
        ASSERT_TRUE(ConvertForDownload(path, dest, 2.5f, limit864, &record, &bitmap));
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(record, BuildRasterRecord(dest));
        EXPECT_EQ(record, RasterRecordOf(bitmap));
        ASSERT_TRUE(ConvertImageFile(path, dest, 2.5f));
        EXPECT_EQ(record, BuildRasterRecord(dest));
    }
    EXPECT_TRUE(dialogs.messages.empty());

    // 900 dots wide by their headers, with nothing decodable behind them:
    // refused as too wide, not as damaged, and the scratch file is kept.
    const QByteArray keptScratch = [&] {
        QFile f(dest);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const QByteArray jpeg = JpegOf(900, 8, false, Ramp);
    struct Case {
        const char* name;
        QString path;
        QString message;
        int asked;
    } cases[] = {
        {"JPEG cut after its header", Write(QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 3)),
         Msg("_E_ITW"), 1},
        {"PNG header only", Write(QStringLiteral("head.png"), PngOf(900, 2, Ramp).left(40)),
         Msg("_E_ITW"), 1},
        {"missing file: the printer is not asked", dir.filePath(QStringLiteral("none.jpg")),
         Msg("_Err_FileNotExist"), 0},
        {"unknown extension: the printer is not asked", Write(QStringLiteral("wide.JPG"), jpeg),
         Msg("_E_IC"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        asked = 0;
        QByteArray record;
        EXPECT_FALSE(ConvertForDownload(c.path, dest, 1.0f, limit864, &record));
        EXPECT_EQ(MessageTexts(), QStringList{c.message});
        EXPECT_EQ(asked, c.asked);
    }
    QFile f(dest);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), keptScratch);
    // Without the limit the cut JPEG is decoded and refused as damaged.
    dialogs.messages.clear();
    QByteArray record;
    EXPECT_THROW(
        ConvertForDownload(dir.filePath(QStringLiteral("cut.jpg")), dest, 1.0f, {}, &record),
        ImageError);
    EXPECT_EQ(MessageTexts(), QStringList{Msg("_E_IC")});
}

TEST(MonoPng, HoldsOneGreyBitPerDot) {
    Picture p;
    p.width = 11;
    p.height = 2;
    p.rgba = Rgba({"#.........#", ".#.#......."});
    const MonoBitmap m = StretchToMono(p, 11, 2);
    const QByteArray png = EncodeMonoPng(m);
    EXPECT_EQ(png.mid(24, 2), QByteArray::fromHex("0100")); // bit depth 1, grey
    EXPECT_EQ(Mono(DecodePng(png)), (Pattern{"#.........#", ".#.#......."}));
}
