// The client database reader against files made by the tools' writer: both formats, the
// record walk and its resynchronisation, inactive and scrambled records, every record type,
// the index, and the limits no file may push it past.
#include "common/client_db_writer.h"
#include "discovery/client_db.h"
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

using namespace zov;
using namespace zov::clientdb;
using Writer = zov::tools::ClientDatabaseWriter;

namespace {

const std::string kFolder = "C:\\ZOV\\idb";
const std::string kMain = kFolder + "\\main.idx";

std::vector<std::uint8_t> junk(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(0x41 + i % 23); // letters: never a record magic
    return bytes;
}

class ClientDb : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(sim.discovery.openFiles, 0) << "a file was left open"; }

    void put(const std::string& path, const Writer& writer) { sim.files.writeBytes(path, writer.bytes()); }
    void put(const Writer& writer) { put(kMain, writer); }

    ClientInfo client(int* result = nullptr) {
        ClientInfo info;
        info.language = info.country = -1;
        int r = ReadClientInfo(sim.discovery, kMain, info);
        if (result)
            *result = r;
        return info;
    }
    CandidateInfo candidate(int* result = nullptr) {
        CandidateInfo info;
        int r = ReadCandidateInfo(sim.discovery, kMain, info);
        if (result)
            *result = r;
        return info;
    }

    sim::SimMachine sim;
};

Writer full(Writer::Format format = Writer::Format::New) {
    Writer w(format);
    w.version("8.0")
        .language(0)
        .country(1)
        .codebase("4327.100")
        .build(8, 0, 'b')
        .screenNames({"Alice", "Bob"});
    return w;
}

// --- packing and formatting -----------------------------------------------------------

TEST(ClientDbText, PackedVersionsAndBuildTexts) {
    EXPECT_EQ(packVersion("9.0"), 0x00090000u);
    EXPECT_EQ(packVersion("9"), 0x00090000u);
    EXPECT_EQ(packVersion("9.5"), 0x00090005u);
    EXPECT_EQ(packVersion("3.0"), 0x00030000u);
    EXPECT_EQ(packVersion("70000.70000"), ((70000u & 0xFFFF) << 16) | (70000u & 0xFFFF));
    EXPECT_EQ(packVersion("abc"), 0u);
    EXPECT_EQ(packVersion("99999999999999999999.1"), 0xFFFF0001u) << "held within 32 bits, then 16";
    EXPECT_EQ(buildText(9, 0, 'a'), "9.0a");
    EXPECT_EQ(buildText(4327, 271, 0), "4327.271");
}

// --- finding a database by its signature ----------------------------------------------------

TEST_F(ClientDb, FindsBothFormatsWithTheRightKindOnly) {
    put(kFolder + "\\a.dat", Writer(Writer::Format::Old, 0x01000402).version("9.0"));
    put(kFolder + "\\b.dat", Writer(Writer::Format::New, 0x01000402).version("9.0"));
    put(kFolder + "\\c.txt", Writer().signature("NOTADB!!").version("9.0"));
    sim.files.makeDirectory(kFolder + "\\d.dir");
    EXPECT_EQ(FindClientDatabase(sim.discovery, kFolder, kClientDatabaseKind), std::nullopt);

    put(kFolder + "\\z-old.dat", Writer(Writer::Format::Old).version("9.0"));
    EXPECT_EQ(FindClientDatabase(sim.discovery, kFolder, kClientDatabaseKind), kFolder + "\\z-old.dat");
    put(kFolder + "\\e-new.dat", Writer().signature("zovdb-25").version("9.0"));
    EXPECT_EQ(FindClientDatabase(sim.discovery, kFolder, kClientDatabaseKind), kFolder + "\\e-new.dat")
        << "the first signed file in listing order, any letter case";
}

TEST_F(ClientDb, SignatureSearchNeedsTheWholeHeader) {
    std::vector<std::uint8_t> shortNew = Writer().bytes();
    shortNew.resize(24);
    sim.files.writeBytes(kFolder + "\\short.idx", shortNew);
    std::vector<std::uint8_t> longer = Writer().signature("ZOVDB-25").bytes();
    longer[8] = 'X'; // "ZOVDB-25X": not the signature text
    sim.files.writeBytes(kFolder + "\\longer.idx", longer);
    EXPECT_EQ(FindClientDatabase(sim.discovery, kFolder, kClientDatabaseKind), std::nullopt);
    EXPECT_EQ(FindClientDatabase(sim.discovery, "C:\\nowhere", kClientDatabaseKind), std::nullopt);
}

TEST_F(ClientDb, UnopenableEntriesArePassedOver) {
    put(kFolder + "\\a.idx", Writer().version("9.0"));
    put(kFolder + "\\b.idx", Writer().version("9.0"));
    sim.discovery.unreadable.insert(kFolder + "\\a.idx");
    EXPECT_EQ(FindClientDatabase(sim.discovery, kFolder, kClientDatabaseKind), kFolder + "\\b.idx");
}

// --- formats -------------------------------------------------------------------------------

TEST_F(ClientDb, BothFormatsReadAlike) {
    for (auto format : {Writer::Format::Old, Writer::Format::New}) {
        put(full(format));
        int result = -1;
        ClientInfo info = client(&result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(info.version, 0x00080000u);
        EXPECT_EQ(info.language, 0);
        EXPECT_EQ(info.country, 1);
        EXPECT_EQ(info.codebase, "4327.100");
        EXPECT_EQ(info.build, "8.0b");
        CandidateInfo c = candidate(&result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(c.versionText, "8.0");
        EXPECT_EQ(c.firstScreenName(), "Alice");
        EXPECT_EQ((std::vector<int>{c.buildMajor, c.buildMinor, c.buildLetter}),
                  (std::vector<int>{8, 0, 'b'}));
    }
}

TEST_F(ClientDb, AFileWithNeitherSignatureIsReadAsNewFormat) {
    put(full().signature("XXXXXXXX"));
    EXPECT_EQ(client().version, 0x00080000u);
    // Records written straight from offset 0 are not where a new-format reader looks.
    put(Writer().withoutHeader().version("8.0").version("7.0"));
    int result = -1;
    ClientInfo info = client(&result);
    EXPECT_NE(info.version, 0x00080000u);
}

TEST_F(ClientDb, EmptyAndTruncatedFilesEndTheWalkNormally) {
    sim.files.writeBytes(kMain, {});
    int result = -1;
    ClientInfo info = client(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.version, 0u);

    std::vector<std::uint8_t> bytes = full().bytes();
    std::vector<std::uint8_t> cut = Writer().version("8.0").bytes();
    cut.insert(cut.end(), bytes.begin() + 25, bytes.begin() + 25 + 10); // half a header
    sim.files.writeBytes(kMain, cut);
    info = client(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.version, 0x00080000u);
}

TEST_F(ClientDb, MissingFileIsAFailure) {
    int result = -1;
    client(&result);
    EXPECT_EQ(result, 0);
    candidate(&result);
    EXPECT_EQ(result, 0);
    RecordIndexPtr index;
    EXPECT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexNotOpened);
    EXPECT_FALSE(index);
}

// --- the walk ------------------------------------------------------------------------------

TEST_F(ClientDb, InactiveRecordsAreNeverProcessed) {
    put(Writer().version("9.0", Writer::kInactive).screenNames({"Alice"}));
    EXPECT_EQ(client().version, 0u);
    EXPECT_EQ(candidate().versionText, "");
    RecordIndexPtr index;
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    EXPECT_EQ(IndexedVersion(*index), 0u);
    EXPECT_EQ(ReadIndexedRecord(*index, kVersionRecord), std::nullopt);
}

TEST_F(ClientDb, GarbageBetweenRecordsIsSkipped) {
    put(Writer().version("8.0").garbage(junk(37)).language(6).country(1).build(8, 1, 0).codebase("1.2"));
    int result = -1;
    ClientInfo info = client(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.language, 6);
    EXPECT_EQ(info.build, "8.1");
}

TEST_F(ClientDb, GarbageBeforeTheLastRecordIsDamage) {
    put(Writer().version("8.0").garbage(junk(11)).language(6));
    int result = -1;
    ClientInfo info = client(&result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(info.version, 0x00080000u) << "what was read before stays";
    EXPECT_EQ(info.language, -1);
    candidate(&result);
    EXPECT_EQ(result, 0);
    RecordIndexPtr index;
    EXPECT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexDamaged);
    EXPECT_FALSE(index);
}

TEST_F(ClientDb, AValidMagicInsideGarbageIsOnlyBelievedWithAValidSuccessor) {
    // A stray "R2D2" whose length points at more garbage must not be taken for a record.
    Writer w;
    w.version("8.0");
    Writer stray;
    stray.withoutHeader().recordWithLength(kLanguageRecord, {0, 0, 9, 0}, 100);
    std::vector<std::uint8_t> fake = stray.bytes();
    w.garbage(junk(3)).garbage(fake).garbage(junk(120)).language(6).country(1);
    put(w);
    int result = -1;
    ClientInfo info = client(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.language, 6);
}

TEST_F(ClientDb, StrayMagicsWithLongLengthsCostTwoSmallReadsEach) {
    // Each stray header points past the read window; checking it must not refill the window.
    Writer strays;
    strays.withoutHeader();
    for (int i = 0; i < 500; ++i)
        strays.recordWithLength(kLanguageRecord, {}, 100000);
    Writer w;
    w.version("8.0").garbage(junk(1)).garbage(strays.bytes()).garbage(junk(110000)).language(6).country(1);
    put(w);
    int result = -1;
    EXPECT_EQ(client(&result).language, 6);
    EXPECT_EQ(result, 1);
    EXPECT_LT(sim.discovery.bytesRead, 4 * w.bytes().size());
}

TEST_F(ClientDb, LengthsBeyondSixteenBitsAreSteppedOverButNotRead) {
    std::vector<std::uint8_t> big(70000, 'x');
    put(Writer().record(kCodebaseRecord, big).version("8.0").codebase("2.5"));
    ClientInfo info = client();
    EXPECT_EQ(info.version, 0x00080000u);
    EXPECT_EQ(info.codebase, "2.5");
    // A header that claims more than the file holds ends the walk like a truncated file.
    put(Writer().version("8.0").recordWithLength(kCodebaseRecord, {'1'}, 0xFFFFFFFFu));
    int result = -1;
    info = client(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.codebase, "");
}

TEST_F(ClientDb, TwoVersionRecordsTheLaterWinsUnlessTheReaderStopped) {
    put(Writer().version("7.0").version("8.0").language(0).country(1).codebase("1.0").build(1, 2, 0));
    EXPECT_EQ(client().version, 0x00080000u);
    RecordIndexPtr index;
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    EXPECT_EQ(IndexedVersion(*index), 0x00080000u);

    // Everything found before the second version record: the reader stops at once.
    put(Writer().language(0).country(1).codebase("1.0").build(1, 2, 0).version("7.0").version("8.0"));
    EXPECT_EQ(client().version, 0x00070000u);
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    EXPECT_EQ(IndexedVersion(*index), 0x00080000u);
}

// --- record types ----------------------------------------------------------------------------

TEST_F(ClientDb, VersionWithoutMinorReadsAsPointZero) {
    put(Writer().version("9").screenNames({"A"}));
    EXPECT_EQ(client().version, 0x00090000u);
    EXPECT_EQ(candidate().versionText, "9.0");
}

TEST_F(ClientDb, VersionThreeLeavesLanguageAndCountryUnknown) {
    put(Writer().version("3.0").codebase("3.0").build(3, 0, 0).language(9).country(9));
    int result = -1;
    ClientInfo info = client(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.version, 0x00030000u);
    EXPECT_EQ(info.language, -1) << "the reader stopped before the language record";
    EXPECT_EQ(info.country, -1);
    put(Writer().version("3.0").screenNames({"A"}).build(3, 0, 0).language(9));
    CandidateInfo c = candidate(&result);
    EXPECT_EQ(c.language, -1);
}

TEST_F(ClientDb, BuildRecordVariants) {
    put(Writer().record(kBuildRecord, {0x00, 0x09, 0x00, 'a'}));
    EXPECT_EQ(client().build, "9.0a");
    put(Writer().build(4327, 271, 'c', 1));
    EXPECT_EQ(client().build, "4327.271c");
    CandidateInfo c = candidate();
    EXPECT_EQ(c.buildMajor, 4327);
    EXPECT_EQ(c.buildMinor, 271);
    EXPECT_EQ(c.buildLetter, 'c');
    put(Writer().build(1, 2, 'x', 2)); // an unknown variant
    EXPECT_EQ(client().build, "0.0");
    put(Writer().record(kBuildRecord, {0x00, 0x09})); // too short to hold a build
    EXPECT_EQ(client().build, "0.0");
    std::vector<std::uint8_t> fiftyTwo(52, 0);
    fiftyTwo[0] = 1;
    fiftyTwo[1] = 7;
    fiftyTwo[2] = 3;
    put(Writer().record(kBuildRecord, fiftyTwo)); // 52 bytes: still variant 0
    EXPECT_EQ(client().build, "7.3");
}

TEST_F(ClientDb, ShortLanguageAndCountryRecords) {
    put(Writer().version("8.0").record(kLanguageRecord, {0, 0, 5}).record(kCountryRecord, {}));
    ClientInfo info = client();
    EXPECT_EQ(info.language, -1) << "no 16-bit value at offset 2";
    EXPECT_EQ(info.country, -1);
    put(Writer().language(-2).country(200));
    info = client();
    EXPECT_EQ(info.language, -2);
    EXPECT_EQ(info.country, 200);
}

TEST_F(ClientDb, CodebaseGetsItsMinor) {
    put(Writer().codebase("4327"));
    EXPECT_EQ(client().codebase, "4327.0");
}

TEST_F(ClientDb, OverlongTextsAreRefusedNotCut) {
    std::string longVersion = "9." + std::string(30, '1'); // 32 characters
    put(Writer().version(longVersion).screenNames({"A"}));
    EXPECT_EQ(candidate().versionText, "") << "the candidate's buffer holds 31 characters";
    EXPECT_EQ(client().version, packVersion(longVersion)) << "the client reader's buffer holds 255";
    put(Writer().version(std::string(30, '9')).screenNames({"A"})); // 30 + ".0" does not fit
    EXPECT_EQ(candidate().versionText, "");
    put(Writer().version(std::string(29, '9')).screenNames({"A"}));
    EXPECT_EQ(candidate().versionText, std::string(29, '9') + ".0");
    put(Writer().codebase(std::string(300, '1')));
    EXPECT_EQ(client().codebase, "");
}

TEST_F(ClientDb, ScreenNamesAreReadToTheLengthValueWhateverTheRecordSays) {
    // The first name runs to its NUL even across the record's end; never past the buffer.
    Writer w;
    w.record(kScreenNameRecord, {0, 'A', 'l'}).version("8.0");
    put(w);
    CandidateInfo c = candidate();
    EXPECT_EQ(c.firstScreenName().substr(0, 2), "Al");
    EXPECT_GT(c.firstScreenName().size(), 2u);
    std::vector<std::uint8_t> huge(3000, 'n');
    huge[0] = 0;
    put(Writer().record(kScreenNameRecord, huge));
    c = candidate();
    EXPECT_EQ(c.firstScreenName(), std::string(1023, 'n'));
    EXPECT_EQ(c.screenNames.size(), kScreenNameCapacity);
}

// --- scrambling ------------------------------------------------------------------------------

TEST_F(ClientDb, SequentialReadersAlwaysUnscramble) {
    put(Writer().version("9.0", Writer::kScrambled).screenNames({"Alice"}, Writer::kScrambled));
    EXPECT_EQ(client().version, 0x00090000u);
    CandidateInfo c = candidate();
    EXPECT_EQ(c.versionText, "9.0");
    EXPECT_EQ(c.firstScreenName(), "Alice");
}

TEST_F(ClientDb, IndexKeepsScrambledDataOfLaterDatabases) {
    put(Writer().version("4.0").screenNames({"Alice"}, Writer::kScrambled));
    RecordIndexPtr index;
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    auto record = ReadIndexedRecord(*index, kScreenNameRecord);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->stillScrambled);
    EXPECT_EQ(record->data[1], 'A' ^ 0xA3);

    put(Writer().version("3.0").screenNames({"Alice"}, Writer::kScrambled));
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    record = ReadIndexedRecord(*index, kScreenNameRecord);
    ASSERT_TRUE(record);
    EXPECT_FALSE(record->stillScrambled);
    EXPECT_EQ(record->data[1], 'A');
    CloseRecordIndex(index);
    EXPECT_FALSE(index);
}

TEST_F(ClientDb, AScrambledVersionRecordStillGivesTheIndexItsVersion) {
    put(Writer().version("4.0", Writer::kScrambled).codebase("x", Writer::kScrambled));
    RecordIndexPtr index;
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    EXPECT_EQ(IndexedVersion(*index), 0x00040000u);
    auto codebase = ReadIndexedRecord(*index, kCodebaseRecord);
    ASSERT_TRUE(codebase);
    EXPECT_TRUE(codebase->stillScrambled);
}

// --- the index ------------------------------------------------------------------------------

TEST_F(ClientDb, IndexTextAndBufferLimits) {
    put(Writer().version("8.0").codebase("0123456789ABCDE").text(0x77, "abc"));
    RecordIndexPtr index;
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    EXPECT_EQ(IndexedTypeCount(*index), 3u);
    EXPECT_EQ(ReadIndexedText(*index, kCodebaseRecord, 16), "0123456789ABCDE");
    EXPECT_EQ(ReadIndexedText(*index, kCodebaseRecord, 15), std::nullopt) << "length not below capacity";
    EXPECT_EQ(ReadIndexedText(*index, 0x12345678, 100), std::nullopt);
    std::uint8_t small[2] = {9, 9};
    EXPECT_EQ(ReadIndexedRecord(*index, 0x77, small, sizeof small), std::nullopt) << "refused, not cut";
    EXPECT_EQ(small[0], 9);
    std::uint8_t fits[3];
    EXPECT_EQ(ReadIndexedRecord(*index, 0x77, fits, sizeof fits), 3u);
    EXPECT_EQ(fits[2], 'c');
}

TEST_F(ClientDb, IndexVersionOfSixteenCharactersCountsAsAbsent) {
    put(Writer().version("9." + std::string(14, '1')));
    RecordIndexPtr index;
    ASSERT_EQ(OpenRecordIndex(sim.discovery, kMain, index), kIndexOpened);
    EXPECT_EQ(IndexedVersion(*index), 0u);
}

// --- "SNMaster.idx" ----------------------------------------------------------------------------

TEST_F(ClientDb, NinePointFiveTakesItsNamesFromTheMasterFile) {
    put(Writer().screenNames({"Old"}).version("9.5").language(0).country(1).build(1, 1, 0));
    put(kFolder + "\\SNMaster.idx", Writer().version("9.5").screenNames({"Master", "Other"}));
    int result = -1;
    CandidateInfo c = candidate(&result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(c.firstScreenName(), "Master");
    EXPECT_EQ(c.screenNameLength, 1 + 7 + 6u);
}

TEST_F(ClientDb, NinePointFourIgnoresTheMasterFile) {
    put(Writer().screenNames({"Old"}).version("9.4"));
    put(kFolder + "\\SNMaster.idx", Writer().screenNames({"Master"}));
    EXPECT_EQ(candidate().firstScreenName(), "Old");
}

TEST_F(ClientDb, MasterRecordLargerThanTheBufferIsRefused) {
    put(Writer().screenNames({"Old"}).version("9.5"));
    std::vector<std::uint8_t> huge(2000, 'm');
    huge[0] = 0;
    put(kFolder + "\\SNMaster.idx", Writer().record(kScreenNameRecord, huge));
    CandidateInfo c = candidate();
    EXPECT_EQ(c.firstScreenName(), "Old");
    EXPECT_EQ(c.screenNameLength, kScreenNameCapacity);
}

TEST_F(ClientDb, MissingOrDamagedMasterFileLeavesTheNames) {
    put(Writer().version("9.6").screenNames({"Later"}));
    EXPECT_EQ(candidate().firstScreenName(), "Later");
    put(kFolder + "\\SNMaster.idx", Writer().screenNames({"M"}).garbage(junk(5)).version("9.6"));
    EXPECT_EQ(candidate().firstScreenName(), "Later");
}

// --- round trip of the engine's database ------------------------------------------------------

TEST_F(ClientDb, TheInstalledClientsDatabaseReadsBack) {
    sim.files.writeBytes(kMain, tools::installedClientDatabase("ZOV Member"));
    ClientInfo info = client();
    EXPECT_EQ(info.version, 0x00090000u);
    EXPECT_EQ(info.build, "4327.271");
    EXPECT_EQ(info.codebase, "4327.271");
    EXPECT_EQ(info.language, 0);
    EXPECT_EQ(info.country, 1);
    CandidateInfo c = candidate();
    EXPECT_EQ(c.firstScreenName(), "ZOV Member");
    EXPECT_EQ(FindClientDatabase(sim.discovery, kFolder, kClientDatabaseKind), kMain);
}

} // namespace
