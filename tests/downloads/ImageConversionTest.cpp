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

#include <csetjmp>
#include <cstring>
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
    QByteArray rle = MakeBmp(kFace, 8, false);
    rle[30] = 1; // RLE8
    EXPECT_THROW(DecodeBmp(rle), ImageError);
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
