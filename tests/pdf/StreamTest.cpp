// Byte streams: file windows, memory windows, embedded windows, Flate and the predictors.

#include "ReaderTestUtil.h"

#include "pdf/CPdfEmbedStream.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfFilters.h"
#include "pdf/CPdfFlateStream.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfPredictor.h"

#include <random>

using namespace reader_test;

namespace {

// A file of bytes, opened for reading, closed at the end of the test.
class ReadFile {
  public:
    explicit ReadFile(const std::string& bytes) {
        path_ = folder_.write("data.bin", bytes);
        EXPECT_TRUE(input_.open(path_));
    }
    CPdfInputFile& get() { return input_; }

  private:
    TempDir folder_;
    std::string path_;
    CPdfInputFile input_;
};

std::string randomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(count, '\0');
    for (char& c : out) {
        c = static_cast<char>(random() & 0xFF);
    }
    return out;
}

// A Flate stream over the compressed form of data, with a predictor.
std::string inflate(const std::string& data, int predictor = 1, int columns = 1, int colors = 1,
                    int bits = 8) {
    static std::vector<std::unique_ptr<std::string>> keep;
    keep.push_back(std::make_unique<std::string>(qm_test::PdfBuilder::deflate(data)));
    const std::string& packed = *keep.back();
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(packed.data()),
                                     packed.size(), 0, packed.size(), nullElement());
    auto* flate = new CPdfFlateStream(raw, predictor, columns, colors, bits);
    std::string out = readAll(flate);
    flate->release();
    return out;
}

} // namespace

TEST(FileStream, LengthZeroReadsToTheEndOfTheFile) {
    std::string data = randomBytes(100000, 1);
    ReadFile file(data);
    auto* s = new CPdfFileStream(file.get(), 10, 0, nullElement());
    EXPECT_EQ(readAll(s), data.substr(10));
    EXPECT_EQ(s->fileSize(), data.size());
    s->release();
}

TEST(FileStream, WindowsReadTheirRangeAndStopAtTheFileEnd) {
    std::string data = randomBytes(50000, 2);
    ReadFile file(data);
    auto* whole = new CPdfFileStream(file.get(), 0, 0, nullElement());
    CPdfStream* window = whole->openSubStream(1000, 30000, nullElement());
    EXPECT_EQ(readAll(window), data.substr(1000, 30000));
    EXPECT_EQ(window->getPos(), 31000u);
    window->rewind();
    EXPECT_EQ(window->getPos(), 1000u);
    EXPECT_EQ(window->getChar(), static_cast<unsigned char>(data[1000]));
    // A window asking for more than the file holds is cut at the end of the file.
    CPdfStream* beyond = whole->openSubStream(49990, 1u << 30, nullElement());
    EXPECT_EQ(beyond->getLength(), 10u);
    EXPECT_EQ(readAll(beyond), data.substr(49990));
    beyond->release();
    window->release();
    whole->release();
}

TEST(FileStream, InterleavedStreamsOnOneFileAndSeeks) {
    std::string data = randomBytes(40000, 3);
    ReadFile file(data);
    auto* a = new CPdfFileStream(file.get(), 0, 0, nullElement());
    CPdfStream* b = a->openSubStream(20000, 0, nullElement());
    std::string fromA;
    std::string fromB;
    for (int i = 0; i < 20000; ++i) {
        fromA.push_back(static_cast<char>(a->getChar()));
        fromB.push_back(static_cast<char>(b->getChar()));
    }
    EXPECT_EQ(fromA, data.substr(0, 20000));
    EXPECT_EQ(fromB, data.substr(20000));
    a->setPos(-5, 2);
    EXPECT_EQ(a->getPos(), 39995u);
    EXPECT_EQ(a->getChar(), static_cast<unsigned char>(data[39995]));
    a->setPos(-100, 1);
    EXPECT_EQ(a->getPos(), 39896u);
    EXPECT_EQ(a->peekChar(), static_cast<unsigned char>(data[39896]));
    a->setPos(7, 0);
    EXPECT_EQ(a->getChar(), static_cast<unsigned char>(data[7]));
    a->shiftStart(100);
    EXPECT_EQ(a->getStart(), 100u);
    EXPECT_EQ(a->getChar(), static_cast<unsigned char>(data[100]));
    b->release();
    a->release();
}

TEST(FileStream, GetRawCharIsRefused) {
    ReadFile file("abc");
    auto* s = new CPdfFileStream(file.get(), 0, 0, nullElement());
    EXPECT_EQ(errorOf([&] { s->getRawChar(); }),
              "Internal: called getRawChar() on non-predictor stream");
    s->release();
}

TEST(MemoryStream, WindowsSubRangesAndPositions) {
    const std::string data = "0123456789";
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    auto* s = new CPdfMemoryStream(bytes, data.size(), 2, 5, nullElement());
    EXPECT_EQ(readAll(s), "23456");
    s->rewind();
    EXPECT_EQ(s->getPos(), 2u);
    CPdfStream* sub = s->openSubStream(7, 100, nullElement());
    EXPECT_EQ(readAll(sub), "789");
    CPdfStream* rest = s->openSubStream(4, 0, nullElement());
    EXPECT_EQ(readAll(rest), "456789");
    CPdfStream* past = s->openSubStream(50, 3, nullElement());
    EXPECT_EQ(past->getChar(), -1);
    past->release();
    rest->release();
    sub->release();
    s->release();
}

TEST(EmbedStream, LimitOfTenGivesTenBytesThenEnd) {
    const std::string data = "abcdefghijklmnopqrstuvwxyz";
    auto* under = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(data.data()),
                                       data.size(), 0, 0, nullElement());
    under->setPos(3, 0);
    auto* embed = new CPdfEmbedStream(under, nullElement(), true, 10);
    EXPECT_EQ(embed->peekChar(), 'd');
    EXPECT_EQ(readAll(embed), "defghijklm");
    EXPECT_EQ(embed->peekChar(), -1);
    EXPECT_EQ(under->getChar(), 'n'); // the underlying stream still has data
    EXPECT_EQ(errorOf([&] { embed->getRawChar(); }),
              "Internal: called getRawChar() on non-predictor stream");
    auto* unlimited = new CPdfEmbedStream(under, nullElement(), false, 0);
    EXPECT_EQ(readAll(unlimited), "opqrstuvwxyz");
    unlimited->release();
    embed->release();
    under->release();
}

TEST(Flate, LongDataIsDeliveredCompletelyAndInOrder) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += std::to_string(i) + " ";
    }
    EXPECT_EQ(inflate(text), text);
    std::string noise = randomBytes(300000, 4); // incompressible: many input chunks
    EXPECT_EQ(inflate(noise), noise);
}

TEST(Flate, BytesAfterTheZlibStreamEndAreNotDelivered) {
    std::string packed = qm_test::PdfBuilder::deflate("abc") + "\r\nJUNK";
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(packed.data()),
                                     packed.size(), 0, packed.size(), nullElement());
    auto* flate = new CPdfFlateStream(raw, 1, 1, 1, 8);
    EXPECT_EQ(readAll(flate), "abc");
    EXPECT_EQ(flate->getChar(), -1);
    EXPECT_EQ(flate->peekChar(), -1);
    flate->release();
}

TEST(Flate, CorruptDataEndsSilently) {
    std::string packed = qm_test::PdfBuilder::deflate(randomBytes(5000, 5));
    packed[packed.size() / 2] ^= 0x55;
    packed[packed.size() / 2 + 1] ^= 0x55;
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(packed.data()),
                                     packed.size(), 0, packed.size(), nullElement());
    auto* flate = new CPdfFlateStream(raw, 1, 1, 1, 8);
    std::string out = readAll(flate);
    EXPECT_LT(out.size(), 5000u);
    EXPECT_EQ(flate->getChar(), -1);
    flate->release();
    // Not zlib data at all.
    std::string junk = "this is not compressed";
    auto* raw2 = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(junk.data()),
                                      junk.size(), 0, junk.size(), nullElement());
    auto* flate2 = new CPdfFlateStream(raw2, 1, 1, 1, 8);
    EXPECT_EQ(flate2->getChar(), -1);
    flate2->release();
}

TEST(Flate, AStreamCutShortDeliversWhatItHas) {
    std::string text = randomBytes(20000, 6);
    std::string packed = qm_test::PdfBuilder::deflate(text);
    std::string cut = packed.substr(0, packed.size() / 2);
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(),
                                     0, cut.size(), nullElement());
    auto* flate = new CPdfFlateStream(raw, 1, 1, 1, 8);
    std::string out = readAll(flate);
    EXPECT_GT(out.size(), 5000u);
    EXPECT_EQ(out, text.substr(0, out.size()));
    flate->release();
}

// readRest inflates straight into its buffer; it must give exactly the bytes getChars gives,
// the piece dropped at a zlib error included, for intact and damaged data alike.
TEST(Flate, ReadRestGivesWhatGetCharsGives) {
    const std::string text = randomBytes(9000, 7) + std::string(40000, 'a') + randomBytes(3000, 8);
    const std::string packed = qm_test::PdfBuilder::deflate(text);
    auto flipped = [&](size_t at) {
        std::string bytes = packed;
        bytes[at] ^= 0x55;
        bytes[at + 1] ^= 0x55;
        return bytes;
    };
    std::string badCheck = packed;
    badCheck.back() ^= 1;
    const struct {
        const char* name;
        std::string bytes;
        size_t declared; // the window's length; beyond the bytes zlib is given 0xFF
        bool failing;    // zlib fails on it: whole pieces of 1,024 bytes of text, no more
    } cases[] = {
        {"intact", packed, packed.size(), false},
        {"long incompressible", qm_test::PdfBuilder::deflate(randomBytes(300000, 9)), 0, false},
        {"damaged early", flipped(100), packed.size(), true},
        {"damaged in the middle", flipped(packed.size() / 2), packed.size(), true},
        {"damaged late", flipped(packed.size() - 40), packed.size(), true},
        {"checksum wrong", badCheck, badCheck.size(), true},
        {"cut in the middle", packed.substr(0, packed.size() / 2), packed.size() / 2, false},
        {"cut before the checksum", packed.substr(0, packed.size() - 4), packed.size() - 4, false},
        {"length past the data", packed.substr(0, packed.size() / 3), packed.size(), false},
        {"junk after the end", packed + "\r\nJUNK", packed.size() + 6, false},
        {"not zlib", "this is not compressed", 22, true},
        {"empty", "", 0, false},
    };
    auto open = [](const std::string& bytes, size_t declared) {
        auto* raw =
            new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                 0, declared ? declared : bytes.size(), nullElement());
        return new CPdfFlateStream(raw, 1, 1, 1, 8);
    };
    for (const auto& c : cases) {
        auto* byChars = open(c.bytes, c.declared);
        const std::string expected = readAll(byChars);
        byChars->release();
        if (c.failing) {
            EXPECT_EQ(expected.size() % 1024, 0u) << c.name << ": " << expected.size();
            EXPECT_LT(expected.size(), text.size()) << c.name;
        }

        if (c.bytes == badCheck) { // every byte decodes: all whole pieces of the text
            EXPECT_EQ(expected.size(), text.size() / 1024 * 1024);
            EXPECT_TRUE(expected == text.substr(0, expected.size()));
        }

        auto* whole = open(c.bytes, c.declared);
        std::string out = "kept";
        EXPECT_TRUE(whole->readRest(out, SIZE_MAX)) << c.name;
        EXPECT_TRUE(out == "kept" + expected)
            << c.name << ": " << out.size() - 4 << " bytes against " << expected.size();
        EXPECT_EQ(whole->getChar(), -1) << c.name;
        whole->release();

        // The limit counts the bytes kept: exactly as many pass, one fewer refuses them all.
        if (!expected.empty()) {
            auto* atLimit = open(c.bytes, c.declared);
            std::string exact;
            EXPECT_TRUE(atLimit->readRest(exact, expected.size())) << c.name;
            EXPECT_TRUE(exact == expected) << c.name;
            atLimit->release();
            auto* overLimit = open(c.bytes, c.declared);
            std::string over = "kept";
            EXPECT_FALSE(overLimit->readRest(over, expected.size() - 1)) << c.name;
            EXPECT_EQ(over, "kept") << c.name;
            overLimit->release();
        }
    }
}

TEST(Flate, StreamsThatAreNeverReadCostNothing) {
    // Construction neither reads the data nor sets up zlib; many idle streams are cheap.
    std::string packed = qm_test::PdfBuilder::deflate("x");
    for (int i = 0; i < 10000; ++i) {
        auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(packed.data()),
                                         packed.size(), 0, packed.size(), nullElement());
        auto* flate = new CPdfFlateStream(raw, 12, 1000000, 4, 16);
        flate->release();
    }
}

TEST(Predictor, PngRowsWithEachTag) {
    // Columns 3, 1 byte per pixel: rows "tag b0 b1 b2".
    std::string rows;
    rows += std::string("\x00\x01\x02\x03", 4); // None
    rows += std::string("\x01\x01\x01\x01", 4); // Sub: 1 2 3
    rows += std::string("\x02\x01\x01\x01", 4); // Up: 2 3 4
    rows += std::string("\x03\x02\x02\x02", 4); // Average
    rows += std::string("\x04\x01\x01\x01", 4); // Paeth
    rows += std::string("\x07\x09\x09\x09", 4); // tags above 4 pass bytes through
    std::string out = inflate(rows, 12, 3);
    std::vector<int> got(out.begin(), out.end());
    for (int& v : got) {
        v &= 0xFF;
    }
    // Average row: up 2 3 4; left starts 0: 2+(2+0)/2=3, 2+(3+3)/2=5, 2+(4+5)/2=6
    // Paeth row (up 3 5 6): first: left 0, up 3, upleft 0 -> p=3 -> up; 1+3=4.
    //   second: left 4, up 5, upleft 3: p=6 pa=2 pb=1 pc=3 -> up 5: 6.
    //   third: left 6, up 6, upleft 5: p=7 pa=1 pb=1 pc=2 -> left 6: 7.
    std::vector<int> expected = {1, 2, 3, 1, 2, 3, 2, 3, 4, 3, 5, 6, 4, 6, 7, 9, 9, 9};
    EXPECT_EQ(got, expected);
}

TEST(Predictor, UpRowsOfAnXRefStreamShape) {
    // Predictor 12, Columns 5: each row is a tag and 5 data bytes; Up adds the byte above.
    std::string rows =
        std::string("\x02\x01\x00\x00\x10\x00", 6) + std::string("\x02\x00\x00\x00\x20\x00", 6);
    EXPECT_EQ(inflate(rows, 12, 5), std::string("\x01\x00\x00\x10\x00\x01\x00\x00\x30\x00", 10));
}

TEST(Predictor, PaethWithFourBytesPerPixelLooksFourBytesBack) {
    // Two pixels of 4 bytes (8-bit CMYK). Row 1 (None): 15 15 15 15 20 20 20 20. Row 2 (Paeth):
    // the first pixel takes up (15) - 5 = 10; for the second, left 10, up 20 and up-left 15
    // (4 bytes back in row 1) make p = 15, so the up-left byte wins: 15 + 0.
    std::string rows = std::string("\x00", 1) + "\x0F\x0F\x0F\x0F\x14\x14\x14\x14";
    rows += std::string("\x04\xFB\xFB\xFB\xFB\x00\x00\x00\x00", 9);
    std::string out = inflate(rows, 15, 2, 4);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(out.substr(8), "\x0A\x0A\x0A\x0A\x0F\x0F\x0F\x0F");
}

TEST(Predictor, PeekThenGetReturnTheSameByte) {
    std::string packed = qm_test::PdfBuilder::deflate(std::string("\x01\x05\x01", 3));
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(packed.data()),
                                     packed.size(), 0, packed.size(), nullElement());
    auto* flate = new CPdfFlateStream(raw, 11, 2, 1, 8);
    EXPECT_EQ(flate->peekChar(), 5);
    EXPECT_EQ(flate->peekChar(), 5);
    EXPECT_EQ(flate->getChar(), 5);
    EXPECT_EQ(flate->peekChar(), 6);
    EXPECT_EQ(flate->getChar(), 6);
    EXPECT_EQ(flate->getChar(), -1);
    flate->release();
}

TEST(Predictor, PartialRowIsNotDelivered) {
    // Columns 4: the second row has its tag and only two bytes.
    std::string rows = std::string("\x00\x01\x02\x03\x04", 5) + std::string("\x00\x09\x09", 3);
    EXPECT_EQ(inflate(rows, 10, 4), std::string("\x01\x02\x03\x04", 4));
}

TEST(Predictor, OtherNumbersPassWholeRowsThrough) {
    std::string data = "abcdefg"; // columns 3: the last partial row is dropped
    EXPECT_EQ(inflate(data, 3, 3), "abcdef");
    EXPECT_EQ(inflate(data, 0, 3), "abcdef");
}

TEST(Predictor, Tiff8Bit) {
    // Colors 2: each byte adds the byte 2 positions before it.
    std::string data = std::string("\x01\x02\x01\x01\x01\x01", 6);
    EXPECT_EQ(inflate(data, 2, 3, 2), std::string("\x01\x02\x02\x03\x03\x04", 6));
}

TEST(Predictor, TiffSmallAndWideSamples) {
    // 4-bit samples, 1 color, 4 columns: nibbles 1 1 1 F -> 1 2 3 2 (modulo 16).
    EXPECT_EQ(inflate(std::string("\x11\x1F", 2), 2, 4, 1, 4), std::string("\x12\x32", 2));
    // 1-bit samples: 8 columns, bits 1 0 0 1 0 0 0 0 -> running xor 1 1 1 0 0 0 0 0.
    EXPECT_EQ(inflate(std::string("\x90", 1), 2, 8, 1, 1), std::string("\xE0", 1));
    // 2-bit samples: 4 columns, 1 1 1 1 -> 1 2 3 0.
    EXPECT_EQ(inflate(std::string("\x55", 1), 2, 4, 1, 2), std::string("\x6C", 1));
    // 16-bit samples: 0x00FF then 0x0001 -> 0x00FF, 0x0100 (the carry crosses the byte).
    EXPECT_EQ(inflate(std::string("\x00\xFF\x00\x01", 4), 2, 2, 1, 16),
              std::string("\x00\xFF\x01\x00", 4));
}

TEST(Predictor, ParametersThatGiveNoSensibleRowAreRefused) {
    EXPECT_TRUE(CPdfPredictor::isValid(12, 5, 1, 8));
    EXPECT_TRUE(CPdfPredictor::isValid(1, 0, 0, 0)); // no predictor: parameters unused
    EXPECT_FALSE(CPdfPredictor::isValid(12, 0, 1, 8));
    EXPECT_FALSE(CPdfPredictor::isValid(12, -5, 1, 8));
    EXPECT_FALSE(CPdfPredictor::isValid(12, 5, 0, 8));
    EXPECT_FALSE(CPdfPredictor::isValid(12, 5, -1, 8));
    EXPECT_FALSE(CPdfPredictor::isValid(12, 5, 1, 0));
    EXPECT_FALSE(CPdfPredictor::isValid(12, 5, 1, 7));
    EXPECT_FALSE(CPdfPredictor::isValid(12, INT32_MAX, 1, 8));
    EXPECT_FALSE(CPdfPredictor::isValid(12, 1 << 20, 255, 16));
    EXPECT_FALSE(CPdfPredictor::isValid(2, 5, 100000, 8));
}

TEST(Filters, MakeFilterNamesAndParameters) {
    std::string packed = qm_test::PdfBuilder::deflate("abc");
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(packed.data()),
                                     packed.size(), 0, packed.size(), nullElement());
    EXPECT_EQ(makeFilter("LZWDecode", raw, nullElement()), nullptr);
    EXPECT_EQ(makeFilter("flatedecode", raw, nullElement()), nullptr);
    CPdfElement badParms = parseOne("<< /Predictor 12 /Columns 0 >>");
    EXPECT_EQ(makeFilter("FlateDecode", raw, badParms), nullptr);
    // Parameters that are not integers are not used: the defaults apply.
    CPdfElement oddParms = parseOne("<< /Predictor (12) /Columns 2.5 >>");
    CPdfStream* flate = makeFilter("Fl", raw, oddParms);
    ASSERT_NE(flate, nullptr);
    EXPECT_EQ(readAll(flate), "abc");
    flate->release();
}

TEST(Filters, OneElementArrayOfParametersIsNotLookedInto) {
    std::string packed = qm_test::PdfBuilder::deflate("abcdef");
    std::string text =
        "<< /Filter [/FlateDecode] /DecodeParms [<< /Predictor 12 /Columns 2 >>] /Length " +
        std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream";
    CPdfElement e = parseOne(text);
    ASSERT_TRUE(e.is(ElementKind::Stream));
    EXPECT_EQ(readAll(e.getStream()), "abcdef");
}
