// The built-in string table: the texts the resource compiler and the portable code share.
#include "res/strings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {

struct Entry {
    unsigned id;
    const char* text;
};

constexpr Entry kEntries[] = {
#define ZOV_STRING(id, text) {id, text},
#include "res/string_table.inc"
#undef ZOV_STRING
};

std::string text(unsigned id) {
    const char* s = zov::builtinString(id);
    return s != nullptr ? s : "<absent>";
}

// The printf conversions of a text, in order ("ss" for two %s); "%%" is no conversion.
std::string conversions(const char* s) {
    std::string found;
    for (const char* p = s; *p != '\0'; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '%')
            continue;
        while (*p != '\0' && std::strchr("-+ #0123456789.hlLqjzt", *p) != nullptr)
            ++p;
        if (*p == '\0')
            return found + "<cut>";
        found += *p;
    }
    return found;
}

TEST(BuiltinString, ReturnsTheShippedTexts) {
    EXPECT_EQ(text(1), "ZOVInstallerClass");
    EXPECT_EQ(text(2), "Install ZOV 9.0 VR");
    EXPECT_EQ(text(30), "ZOV 9.0");
    EXPECT_EQ(text(1289), "Retry ZOV 9.0 VR");
    EXPECT_EQ(text(39), "Software\\Velquonet\\Velquonet\\Installs");
    EXPECT_EQ(text(1270), "%c:\\ is not accessable\n\nThe device is not ready.");
    EXPECT_EQ(text(36), "The path cannot contain any of the following characters:\n / :  * ? \" < > | ; ");
    EXPECT_EQ(text(1302).substr(0, 40), "Your computer is running communication s");
    EXPECT_NE(text(1302).find("select \"Retry\".\n\n"), std::string::npos);
    EXPECT_EQ(text(1303).back(), 'V'); // the shipped text has no closing full stop
    EXPECT_EQ(text(1353), text(1310));
    EXPECT_EQ(text(1403), "N");
    EXPECT_EQ(text(2044), "1033");
}

TEST(BuiltinString, CarriesWindows1252CharactersAsSingleBytes) {
    EXPECT_EQ(text(2065), "Welcome to ZOV\xAE 9.0 VR");
    EXPECT_EQ(text(2093), text(2065));
    EXPECT_EQ(text(1401), "ZOV\xAE Install");
    EXPECT_NE(text(40).find("you\x92ve used"), std::string::npos);
}

TEST(BuiltinString, AbsentEntriesGiveNull) {
    EXPECT_EQ(zov::builtinString(1358), nullptr); // disables the upgrade component check
    EXPECT_EQ(zov::builtinString(0), nullptr);
    EXPECT_EQ(zov::builtinString(3), nullptr);
    EXPECT_EQ(zov::builtinString(70000), nullptr);
}

TEST(StringTable, IdsAreUniqueAndFitTheResourceFormat) {
    std::set<unsigned> seen;
    for (const Entry& e : kEntries) {
        EXPECT_TRUE(seen.insert(e.id).second) << "id " << e.id << " twice";
        EXPECT_GT(e.id, 0u);
        EXPECT_LE(e.id, 0xFFFFu) << "id " << e.id;
        EXPECT_STREQ(zov::builtinString(e.id), e.text) << "id " << e.id;
    }
}

TEST(StringTable, EveryTextFitsTheLoadBuffer) {
    // Read at run time into 1024 bytes: a longer text would be cut.
    for (const Entry& e : kEntries)
        EXPECT_LE(std::strlen(e.text), 1023u) << "id " << e.id;
}

TEST(StringTable, TextsHoldOnlyCharactersBothCompilersReadAlike) {
    // A UTF-8 sequence pasted into the table would reach the resource as several
    // Windows-1252 characters; control characters other than line breaks have no place.
    for (const Entry& e : kEntries) {
        for (const char* p = e.text; *p != '\0'; ++p) {
            auto c = static_cast<unsigned char>(*p);
            bool plain = (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r';
            bool known = c == 0xAE || c == 0x92;
            EXPECT_TRUE(plain || known) << "id " << e.id << " byte " << static_cast<int>(c);
        }
    }
}

TEST(StringTable, FormatTextsTakeExactlyTheArgumentsTheirCallersPass) {
    const std::map<unsigned, std::string> formats = {
        {193, "c"},  {194, "cc"},  {212, "d"},  {226, "ss"},  {1041, "f"},  {1270, "c"},
        {1292, "c"}, {1293, "f"},  {1294, "f"}, {1295, "cc"}, {1296, "ff"}, {1297, "ff"},
        {1302, "s"}, {1307, "ss"}, {1313, "d"}, {1330, "f"},  {1332, "d"},
    };
    for (const Entry& e : kEntries) {
        auto expected = formats.find(e.id);
        EXPECT_EQ(conversions(e.text), expected != formats.end() ? expected->second : "") << "id " << e.id;
    }
}

TEST(StringTable, FeatureListsEndWithAMarkerAndHaveNoGaps) {
    for (unsigned first : {10000u, 10020u}) {
        bool ended = false;
        for (unsigned id = first; id < first + 10 && !ended; ++id) {
            const char* line = zov::builtinString(id);
            ASSERT_NE(line, nullptr) << "gap at " << id;
            ended = line[0] == '|';
        }
        EXPECT_TRUE(ended) << "list from " << first << " has no end marker";
        EXPECT_NE(text(first)[0], '|') << "list from " << first << " is empty";
    }
}

TEST(StringTable, AppearanceSettingsParseAsTheirKind) {
    auto isColour = [](const std::string& s) {
        if (s.size() != 6)
            return false;
        for (char c : s)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        return true;
    };
    auto isNumber = [](const std::string& s) {
        std::size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
        if (i == s.size())
            return false;
        for (; i < s.size(); ++i)
            if (!std::isdigit(static_cast<unsigned char>(s[i])))
                return false;
        return true;
    };
    auto isFlag = [](const std::string& s) { return s == "Y" || s == "N" || s == "TRUE" || s == "FALSE"; };

    for (unsigned id : {2003u, 2008u, 2018u, 2019u, 2020u, 2021u, 2027u, 2055u, 2068u, 2088u, 2089u, 2090u})
        EXPECT_TRUE(isColour(text(id))) << "colour " << id << ": " << text(id);
    for (unsigned id : {2001u, 2006u, 2016u, 2023u, 2030u, 2031u, 2032u, 2033u, 2040u, 2041u, 2042u, 2043u,
                        2049u, 2051u, 2059u, 2070u, 2084u, 2085u, 2086u, 2087u, 1272u, 1380u, 1381u, 1393u})
        EXPECT_TRUE(isNumber(text(id))) << "number " << id << ": " << text(id);
    for (unsigned id :
         {2002u, 2007u, 2010u, 2017u, 2024u, 2038u, 2039u, 2053u, 2061u, 2063u, 2071u, 2072u, 1403u})
        EXPECT_TRUE(isFlag(text(id))) << "flag " << id << ": " << text(id);
    for (unsigned id : {2000u, 2005u, 2015u, 2022u, 2057u, 2069u})
        EXPECT_EQ(text(id), "Arial") << "font " << id;
}

TEST(StringTable, WebAddressesStayOffTheRealNetwork) {
    EXPECT_NE(text(1378).find(".invalid/"), std::string::npos);
    EXPECT_NE(text(243).find(".invalid/"), std::string::npos);
    // The registration cookies live under its path: without the '/' they are not matched.
    EXPECT_EQ(text(1378).back(), '/');
}

} // namespace
