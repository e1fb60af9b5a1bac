#include <gtest/gtest.h>

#include "settings/RegFileFormat.h"

using namespace quorvel;

namespace {

const TRegValue* Value(const TRegFileContent& content, std::string_view path, std::string_view name) {
    const TRegKey* key = FindKeyPath(*content.Root, path);
    return key == nullptr ? nullptr : key->FindValue(name);
}

std::string Dword(std::uint32_t n) {
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((n >> (8 * i)) & 0xFF);
    return data;
}

}  // namespace

TEST(RegFileFormat, ReadsWhatPeopleAndToolsWrite) {
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]\r\n"
        "\"Interval\"=dword:0000000A\r\n"
        "@=\"default \\\"quoted\\\" C:\\\\dir\"\r\n"
        "\r\n"
        "  [hkey_current_user\\SOFTWARE\\ombrask\\quorvel\\Accounts\\0]  \r\n"
        "\"Host\"=\"メール.example.jp\"\r\n"
        "\"Path\"=hex(2):25,48,4f,4d,45,25,\\\r\n"
        "  5c,61,00\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"Multi\"=hex(7):61,00,62,00,00,00\r\n"
        "\"Short\"=dword:6e\r\n";
    const TRegFileContent content = ParseRegFile(text);
    EXPECT_FALSE(content.Damaged()) << content.Problems.front();

    const std::string quorvel = "Software\\Ombrask\\Quorvel";
    ASSERT_NE(Value(content, quorvel, "INTERVAL"), nullptr);
    EXPECT_EQ(Value(content, quorvel, "interval")->Data, Dword(10));
    EXPECT_EQ(Value(content, quorvel, "")->Data, "default \"quoted\" C:\\dir");

    // Differently spelt section names name the same keys; the first spelling stays.
    const TRegKey* software = content.Root->FindKey("software");
    ASSERT_NE(software, nullptr);
    EXPECT_EQ(software->Name(), "Software");
    EXPECT_EQ(software->KeyNames().size(), 1u);

    const std::string account = quorvel + "\\Accounts\\0";
    EXPECT_EQ(Value(content, account, "Host")->Type, TRegDataType::String);
    EXPECT_EQ(Value(content, account, "Host")->Data, "メール.example.jp");
    EXPECT_EQ(Value(content, account, "Path")->Type, TRegDataType::ExpandString);
    EXPECT_EQ(Value(content, account, "Path")->Data, "%HOME%\\a");
    EXPECT_EQ(Value(content, account, "Blob")->Type, TRegDataType::Binary);
    EXPECT_EQ(Value(content, account, "Blob")->Data, "\x01\x02\x03");
    EXPECT_EQ(static_cast<int>(Value(content, account, "Multi")->Type), 7);
    EXPECT_EQ(Value(content, account, "Multi")->Data, std::string("a\0b\0\0\0", 6));
    EXPECT_EQ(Value(content, account, "Short")->Data, Dword(110));
}

TEST(RegFileFormat, EveryTypeSurvivesARoundTrip) {
    TRegKey root("HKEY_CURRENT_USER");
    root.SetValue({"", TRegDataType::String, "root default"});
    TRegKey& key = root.CreateKey("Software").CreateKey("Tést ]key");
    key.SetValue({"text", TRegDataType::String, "日本語 \"q\" \\ end\\"});
    key.SetValue({"lines", TRegDataType::String, "one\r\ntwo\nthree"});
    key.SetValue({"zero", TRegDataType::String, std::string("a\0b", 3)});
    key.SetValue({"expand", TRegDataType::ExpandString, "%PATH%;x"});
    key.SetValue({"dword", TRegDataType::DWord, Dword(0xFFFFFFFFu)});
    key.SetValue({"short dword", TRegDataType::DWord, "\x01\x02"});
    key.SetValue({"binary", TRegDataType::Binary, std::string(200, '\xAB')});
    key.SetValue({"empty binary", TRegDataType::Binary, ""});
    key.SetValue({"qword", static_cast<TRegDataType>(11), "12345678"});
    key.SetValue({"none", TRegDataType::None, ""});
    key.SetValue({"quote\" and \\ in name", TRegDataType::String, ""});
    root.CreateKey("Empty");

    const std::string text = FormatRegFile(root);
    EXPECT_EQ(text.rfind("REGEDIT4\n\n", 0), 0u);
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_LE(end - start, 80u) << "long line at " << start;
    }
    const TRegFileContent back = ParseRegFile(text);
    EXPECT_FALSE(back.Damaged()) << back.Problems.front();
    EXPECT_TRUE(back.Root->SameContent(root)) << text;
    // Writing what was read gives the same text.
    EXPECT_EQ(FormatRegFile(*back.Root), text);
}

TEST(RegFileFormat, SubkeysAreListedSortedWithoutRegardToCase) {
    TRegKey root("HKEY_CURRENT_USER");
    for (const char* name : {"2", "10", "b", "0", "A", "1", "_x", "9"}) root.CreateKey(name);
    const std::vector<std::string> expected = {"0", "1", "10", "2", "9", "A", "b", "_x"};
    EXPECT_EQ(root.KeyNames(), expected);
    EXPECT_EQ(ParseRegFile(FormatRegFile(root)).Root->KeyNames(), expected);
}

TEST(RegFileFormat, ReportsWhatItCannotReadAndKeepsTheRest) {
    const std::string text =
        "REGEDIT4\n"
        "\"Orphan\"=\"before any section\"\n"
        "[HKEY_CURRENT_USER\\Good]\n"
        "\"A\"=\"kept\"\n"
        "\"Broken\"=\"no closing quote\n"
        "\"BadDword\"=dword:123456789\n"
        "\"BadHex\"=hex:1g,02\n"
        "\"Three\"=hex:123\n"
        "\"Gone\"=-\n"
        "garbage line\n"
        "\"B\"=dword:00000002\n"
        "[HKEY_LOCAL_MACHINE\\Other]\n"
        "\"C\"=\"skipped with its section\"\n"
        "[-HKEY_CURRENT_USER\\Good]\n"
        "[HKEY_CURRENT_USER\\Unclosed\n"
        "[HKEY_CURRENT_USER\\Good]\n"
        "\"D\"=\"merged\"\n";
    const TRegFileContent content = ParseRegFile(text);
    EXPECT_EQ(content.Problems.size(), 11u);
    EXPECT_EQ(content.Problems.front().rfind("line 2:", 0), 0u);
    const TRegKey* good = content.Root->FindKey("Good");
    ASSERT_NE(good, nullptr);
    ASSERT_EQ(good->Values().size(), 3u);
    EXPECT_EQ(good->Values()[0].Name, "A");
    EXPECT_EQ(good->Values()[1].Name, "B");
    EXPECT_EQ(good->Values()[2].Name, "D");
    EXPECT_EQ(content.Root->KeyNames(), std::vector<std::string>{"Good"});
}

TEST(RegFileFormat, MissingHeaderOrBinaryNoiseIsDamage) {
    EXPECT_TRUE(ParseRegFile("").Damaged());
    EXPECT_TRUE(ParseRegFile("[HKEY_CURRENT_USER\\A]\n").Damaged());
    EXPECT_TRUE(ParseRegFile(std::string("\xFF\xFE"
                                         "R\0E\0",
                                         6))
                    .Damaged());
    const TRegFileContent ok = ParseRegFile("REGEDIT4");
    EXPECT_FALSE(ok.Damaged());
    EXPECT_TRUE(ok.Root->KeyNames().empty());
}
