// Key paths keep to the registry's limits, and neither reading, writing nor
// destroying a tree depends on its depth for stack or on its shape for size.
#include <gtest/gtest.h>

#include <string>

#include "settings/RegFileFormat.h"
#include "settings/RegistryStore.h"
#include "tests/support/TempFolder.h"

using namespace quorvel;

namespace {

// "[HKEY_CURRENT_USER\k\k\...]" Levels deep, with one value at the bottom.
std::string DeepSection(std::size_t Levels, const std::string& Name = "k") {
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER";
    for (std::size_t i = 0; i < Levels; ++i) text += "\\" + Name;
    return text + "]\n\"v\"=\"bottom\"\n";
}

std::string Path(std::size_t Levels, const std::string& Name = "k") {
    std::string path;
    for (std::size_t i = 0; i < Levels; ++i) path += "\\" + Name;
    return path;
}

}  // namespace

TEST(KeyLimits, DepthAndNameLengthOfTheRegistryAreKept) {
    const std::string longest(255, 'n');
    const std::string longestJapanese = [] {
        std::string s;
        for (int i = 0; i < 255; ++i) s += "\xe6\x97\xa5";  // 255 characters, 765 bytes
        return s;
    }();
    struct {
        std::string Text;
        bool Damaged;
    } const cases[] = {
        {DeepSection(MaxKeyDepth), false},
        {DeepSection(MaxKeyDepth + 1), true},
        {DeepSection(200000), true},
        {DeepSection(1, longest), false},
        {DeepSection(1, longestJapanese), false},
        {DeepSection(1, longest + "n"), true},
    };
    for (const auto& c : cases) {
        const TRegFileContent content = ParseRegFile(c.Text);
        EXPECT_EQ(content.Damaged(), c.Damaged) << c.Text.size();
        // A key beyond the limits is not loaded at all.
        EXPECT_EQ(content.Root->KeyNames().empty(), c.Damaged);
    }

    TTempFolder temp;
    TRegistryStore store(temp / "registry.reg");
    store.WriteString(Path(MaxKeyDepth), "v", "deepest");
    EXPECT_THROW(store.CreateKey(Path(MaxKeyDepth + 1)), ERegistryException);
    EXPECT_THROW(store.CreateKey("\\" + longest + "n"), ERegistryException);
    EXPECT_EQ(store.ReadString(Path(MaxKeyDepth), "v"), "deepest");
}

TEST(KeyLimits, DeepTreesAreWrittenComparedAndDestroyedWithoutRecursion) {
    // The tree's own interface has no limit: far deeper than any file.
    auto root = std::make_unique<TRegKey>("HKEY_CURRENT_USER");
    TRegKey* key = root.get();
    for (int i = 0; i < 200000; ++i) key = &key->CreateKey("k");
    key->SetValue({"v", TRegDataType::String, "bottom"});
    EXPECT_TRUE(root->SameContent(*root));
    // One section for the bottom key: the keys above it are implied.
    const std::string text = FormatRegFile(*root);
    EXPECT_LT(text.size(), 200000u * 2 + 100);
    root.reset();

    // What a hand-made file at the depth limit holds, written back: never
    // multiplied in size.
    const std::string limit = DeepSection(MaxKeyDepth, std::string(100, 'x'));
    const TRegFileContent content = ParseRegFile(limit);
    ASSERT_FALSE(content.Damaged());
    const std::string written = FormatRegFile(*content.Root);
    EXPECT_LT(written.size(), limit.size() + 100);
    EXPECT_TRUE(ParseRegFile(written).Root->SameContent(*content.Root));
}

TEST(KeyLimits, ValuesOfOneKeyKeepTheirOrderAndCaseRules) {
    TRegKey key("K");
    for (int i = 0; i < 1000; ++i) key.SetValue({"Value" + std::to_string(i), TRegDataType::String, "a"});
    key.SetValue({"VALUE7", TRegDataType::DWord, "\x01\0\0\0"});
    ASSERT_EQ(key.Values().size(), 1000u);
    EXPECT_EQ(key.Values()[7].Name, "Value7");  // the first spelling stays
    EXPECT_EQ(key.Values()[7].Type, TRegDataType::DWord);
    EXPECT_EQ(key.FindValue("value999"), &key.Values()[999]);
    EXPECT_EQ(key.FindValue("Value1000"), nullptr);
}
