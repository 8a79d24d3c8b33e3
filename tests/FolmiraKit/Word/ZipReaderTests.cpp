#include "FolmiraKit/Word/ZipReader.h"

#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <functional>

using namespace FolmiraKit;
using ZipTest::Archive;
using ZipTest::Bytes;

namespace {

std::string listingError(const Bytes& archive)
{
    try {
        ZipReader::entries(archive);
    } catch (const ZipReader::Failure& failure) {
        EXPECT_EQ(failure.message, failure.what());
        return failure.message;
    }
    return "(no failure)";
}

std::string extractionError(const ZipReader::Entry& entry, const Bytes& archive)
{
    try {
        ZipReader::extract(entry, archive);
    } catch (const ZipReader::Failure& failure) {
        return failure.message;
    }
    return "(no failure)";
}

// The end record of a minimal archive, for archives assembled by hand.
Bytes endRecord(std::uint16_t count, std::uint32_t size, std::uint32_t offset, std::uint16_t commentLength = 0)
{
    Bytes b;
    ZipTest::put32(b, 0x06054B50);
    ZipTest::put16(b, 0);
    ZipTest::put16(b, 0);
    ZipTest::put16(b, count);
    ZipTest::put16(b, count);
    ZipTest::put32(b, size);
    ZipTest::put32(b, offset);
    ZipTest::put16(b, commentLength);
    return b;
}

} // namespace

TEST(ZipReader, ListsAndReadsStoredAndDeflatedEntries)
{
    std::string big(5000, 'x');
    Bytes archive = Archive().add("word/document.xml", "<doc/>").add("media/big.txt", big, true).build();
    auto list = ZipReader::entries(archive);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, "word/document.xml");
    EXPECT_EQ(list[0].method, 0);
    EXPECT_EQ(list[0].size, 6u);
    EXPECT_EQ(list[0].headerOffset, 0u);
    EXPECT_EQ(list[1].method, 8);
    EXPECT_EQ(list[1].size, 5000u);
    EXPECT_LT(list[1].compressedSize, 100u);

    EXPECT_EQ(ZipReader::read("word/document.xml", archive, &list), ZipTest::bytes("<doc/>"));
    EXPECT_EQ(ZipReader::read("media/big.txt", archive), ZipTest::bytes(big));
    EXPECT_EQ(ZipReader::read("word/styles.xml", archive, &list), std::nullopt);
}

TEST(ZipReader, LookupPrefersTheExactPathThenIgnoresCase)
{
    Bytes archive = Archive().add("Word/Document.xml", "upper").add("word/document.xml", "exact").add("WORD/STYLES.XML", "styles").build();
    auto list = ZipReader::entries(archive);
    EXPECT_EQ(ZipReader::read("word/document.xml", archive, &list), ZipTest::bytes("exact"));
    EXPECT_EQ(ZipReader::read("word/styles.xml", archive, &list), ZipTest::bytes("styles"));
    EXPECT_EQ(ZipReader::read("Word/document.XML", archive, &list), ZipTest::bytes("upper")); // first in order
}

TEST(ZipReader, ChecksumIsTheZipOne)
{
    EXPECT_EQ(ZipReader::checksum(ZipTest::bytes("123456789")), 0xCBF43926u);
    EXPECT_EQ(ZipReader::checksum(Bytes{}), 0u);
    Bytes whole = ZipTest::bytes("hello world");
    auto first = ZipReader::checksum(std::span(whole).first(5));
    EXPECT_EQ(ZipReader::checksum(std::span(whole).subspan(5), first), ZipReader::checksum(whole));
}

TEST(ZipReader, EndRecordSearch)
{
    // A comment holding a whole end record of an empty archive: the last
    // signature in the window wins, so nothing is listed.
    Archive withRecordInComment;
    withRecordInComment.add("a.txt", "a");
    withRecordInComment.comment = endRecord(0, 0, 0);
    EXPECT_TRUE(ZipReader::entries(withRecordInComment.build()).empty());

    Archive withSignatureInComment;
    withSignatureInComment.add("a.txt", "a");
    withSignatureInComment.comment = {'x', 0x50, 0x4B, 0x05, 0x06, 1, 2, 3};
    EXPECT_EQ(listingError(withSignatureInComment.build()), "It isn\u2019t a zip archive.");

    EXPECT_TRUE(ZipReader::entries(endRecord(0, 0, 0)).empty());
    Bytes shortRecord = endRecord(0, 0, 0);
    shortRecord.pop_back();
    EXPECT_EQ(listingError(shortRecord), "It isn\u2019t a zip archive.");
    EXPECT_EQ(listingError(Bytes{0x50, 0x4B, 0x05}), "It isn\u2019t a zip archive.");
    EXPECT_EQ(listingError(Bytes{}), "It isn\u2019t a zip archive.");
    EXPECT_EQ(listingError(ZipTest::bytes("just some text, not an archive at all")), "It isn\u2019t a zip archive.");

    // A record far before the window (more than 65,557 bytes from the end) isn't found.
    Bytes far = Archive().add("a", "a").build();
    far.resize(far.size() + 65536, 0);
    EXPECT_EQ(listingError(far), "It isn\u2019t a zip archive.");
}

TEST(ZipReader, DamagedDirectories)
{
    const std::string cutOff = "The file is damaged (its directory is cut off).";
    const std::string damaged = "The file\u2019s directory is damaged.";
    struct Case {
        const char* what;
        std::function<void(Archive&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"count larger than the headers", [](Archive& a) { a.count = 3; }, damaged},
        {"offset of 0xFFFFFFFF without a ZIP64 locator", [](Archive& a) { a.directoryOffset = 0xFFFFFFFF; }, cutOff},
        {"offset past the end", [](Archive& a) { a.directoryOffset = 100000; }, cutOff},
        {"offset at a local header", [](Archive& a) { a.directoryOffset = 0; }, damaged},
    };
    for (const Case& c : cases) {
        Archive a;
        a.add("one.txt", "1").add("two.txt", "2");
        c.change(a);
        EXPECT_EQ(listingError(a.build()), c.message) << c.what;
    }

    // A name that runs past the directory's end.
    Bytes archive = Archive().add("one.txt", "1").build();
    std::size_t directoryAt = 30 + 7 + 1;
    ZipTest::set32(archive, directoryAt + 28, 0x0FFF); // name length 4095, extra 0
    EXPECT_EQ(listingError(archive), damaged);
}

TEST(ZipReader, NamesAreLatin1UnlessFlaggedUtf8)
{
    Archive a;
    a.add("x", "1").add("y", "2");
    a.files[0].name = {0xC3, 0xA9};
    a.files[1].name = {0xC3, 0xA9};
    a.files[1].flags = 0x0800;
    Archive bad;
    bad.add("z", "3");
    bad.files[0].name = {'a', 0xFF, 'b'};
    bad.files[0].flags = 0x0800;
    auto list = ZipReader::entries(a.build());
    EXPECT_EQ(list[0].path, "\u00C3\u00A9");
    EXPECT_EQ(list[1].path, "\u00E9");
    EXPECT_EQ(ZipReader::entries(bad.build())[0].path, "a\uFFFDb");
}

TEST(ZipReader, Zip64RecordReplacesTheEndRecordValues)
{
    Bytes body = Archive().add("a.txt", "hello").build();
    auto plain = ZipReader::entries(body);
    // Cut the classic end record off and put a ZIP64 record, its locator and an
    // end record with saturated fields in its place.
    body.resize(body.size() - 22);
    std::uint64_t directoryAt = 30 + 5 + 5;
    std::uint64_t directorySize = body.size() - directoryAt;
    std::uint64_t recordAt = body.size();
    ZipTest::put32(body, 0x06064B50);
    ZipTest::put64(body, 44);
    ZipTest::put16(body, 45);
    ZipTest::put16(body, 45);
    ZipTest::put32(body, 0);
    ZipTest::put32(body, 0);
    ZipTest::put64(body, 1);
    ZipTest::put64(body, 1);
    ZipTest::put64(body, directorySize);
    ZipTest::put64(body, directoryAt);
    ZipTest::put32(body, 0x07064B50);
    ZipTest::put32(body, 0);
    ZipTest::put64(body, recordAt);
    ZipTest::put32(body, 1);
    Bytes end = endRecord(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    body.insert(body.end(), end.begin(), end.end());
    EXPECT_EQ(ZipReader::entries(body), plain);

    Bytes broken = body;
    broken[recordAt] = 0; // the record's signature
    EXPECT_EQ(listingError(broken), "The file\u2019s ZIP64 record is damaged.");
    Bytes outside = body;
    ZipTest::set32(outside, body.size() - 22 - 12, 0x7FFFFFFF); // the locator's record offset
    EXPECT_EQ(listingError(outside), "The file\u2019s ZIP64 record is damaged.");
}

TEST(ZipReader, Zip64ExtraFieldReplacesOnlySaturatedFields)
{
    std::string text(300, 'q');
    Archive a;
    a.add("p.txt", text, true);
    Bytes compressed = ZipTest::deflateRaw(ZipTest::bytes(text));
    a.files[0].compressedSize = 0xFFFFFFFF;
    Bytes extra;
    ZipTest::put16(extra, 0x0009); // some other record first
    ZipTest::put16(extra, 2);
    ZipTest::put16(extra, 0xABCD);
    ZipTest::put16(extra, 0x0001);
    ZipTest::put16(extra, 8);
    ZipTest::put64(extra, compressed.size());
    a.files[0].extra = extra;
    Bytes archive = a.build();
    auto list = ZipReader::entries(archive);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].compressedSize, compressed.size());
    EXPECT_EQ(list[0].size, 300u);
    EXPECT_EQ(list[0].headerOffset, 0u);
    EXPECT_EQ(ZipReader::extract(list[0], archive), ZipTest::bytes(text));

    // Fewer than eight bytes left: the field keeps its marker.
    a.files[0].extra = {0x01, 0x00, 0x04, 0x00, 1, 2, 3, 4};
    EXPECT_EQ(ZipReader::entries(a.build())[0].compressedSize, 0xFFFFFFFFu);
}

TEST(ZipReader, ExtractionChecks)
{
    const Bytes archive = Archive().add("a.txt", "hello").add("d.xml", std::string(1000, 'z'), true).build();
    const auto list = ZipReader::entries(archive);
    const std::string damaged = "\u201Ca.txt\u201D is damaged.";
    const std::string unchecked = "\u201Ca.txt\u201D didn\u2019t check out (the file may be damaged).";
    struct Case {
        const char* what;
        std::function<void(ZipReader::Entry&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"header offset past the end", [](auto& e) { e.headerOffset = 1u << 20; }, damaged},
        {"header offset at no local header", [](auto& e) { e.headerOffset = 3; }, damaged},
        {"size of exactly 256 MiB passes the limit", [](auto& e) { e.size = 268435456; }, unchecked},
        {"size one byte over the limit", [](auto& e) { e.size = 268435457; }, damaged},
        {"huge size", [](auto& e) { e.size = ~0ull; }, damaged},
        {"data past the end", [](auto& e) { e.compressedSize = 1000; }, damaged},
        {"compressed size past any archive", [](auto& e) { e.compressedSize = ~0ull - 10; }, damaged},
        {"stored sizes that differ", [](auto& e) { e.size = 4; }, unchecked},
        {"wrong checksum", [](auto& e) { e.crc32 ^= 1; }, unchecked},
        {"method 12", [](auto& e) { e.method = 12; }, "\u201Ca.txt\u201D uses a kind of compression that can\u2019t be read."},
        {"deflate method on stored bytes", [](auto& e) { e.method = 8; }, unchecked},
        {"deflated with no data", [](auto& e) { e.method = 8; e.compressedSize = 0; }, damaged},
        {"deflated, size 0, checksum 0", [](auto& e) { e.method = 8; e.size = 0; e.crc32 = 0; }, "(no failure)"},
        {"deflated, size 0, a checksum", [](auto& e) { e.method = 8; e.size = 0; e.crc32 = 7; }, unchecked},
    };
    for (const Case& c : cases) {
        ZipReader::Entry entry = list[0];
        c.change(entry);
        EXPECT_EQ(extractionError(entry, archive), c.message) << c.what;
    }
    EXPECT_EQ(extractionError(list[0], Bytes{}), damaged);
}

TEST(ZipReader, InflationStopsAtTheDeclaredSize)
{
    // A bomb: 50 MB of zeros declared as 1,000 bytes. Decoding stops at 1,000
    // bytes and the checksum fails.
    Archive a;
    a.add("bomb.bin", std::string(50'000'000, '\0'), true);
    a.files[0].size = 1000;
    Bytes archive = a.build();
    EXPECT_LT(archive.size(), 100'000u);
    auto entry = ZipReader::entries(archive)[0];
    EXPECT_EQ(extractionError(entry, archive), "\u201Cbomb.bin\u201D didn\u2019t check out (the file may be damaged).");

    // The other way round: a few bytes claiming 200 MB never get a buffer of that size.
    Archive liar;
    liar.add("liar.bin", "tiny", true);
    liar.files[0].size = 200'000'000;
    Bytes lying = liar.build();
    EXPECT_EQ(extractionError(ZipReader::entries(lying)[0], lying), "\u201Cliar.bin\u201D didn\u2019t check out (the file may be damaged).");
}
