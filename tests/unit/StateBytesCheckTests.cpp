// The check of state bytes before the framework's reader sees them: whatever the framework's
// writer writes is accepted and read back as written; counts, sizes and nesting that the
// reader would trust are refused.

#include "StateBytes.h"
#include "processor/StateBytesCheck.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

using namespace std::literals;

namespace
{
bool isReadable(const juce::MemoryBlock& bytes)
{
    return StateBytesCheck::isReadable(bytes.getData(), bytes.getSize());
}

juce::ValueTree nested(int levels)
{
    juce::ValueTree root("Level");
    auto tree = root;
    for (int level = 1; level < levels; ++level)
    {
        juce::ValueTree child("Level");
        tree.appendChild(child, nullptr);
        tree = child;
    }
    return root;
}

/** A tree whose property holds arrays nested to the given number of levels. */
juce::ValueTree withNestedArrays(int arrayLevels)
{
    juce::var value(1);
    for (int level = 0; level < arrayLevels; ++level)
        value = juce::Array<juce::var>{value, "x"};
    juce::ValueTree tree("Root");
    tree.setProperty("a", value, nullptr);
    return tree;
}
} // namespace

TEST(StateBytesCheck, AcceptsEveryValueKindTheWriterWritesAndTheReaderReadsItAsWritten)
{
    juce::ValueTree tree("Brimwell");
    tree.setProperty("int", 42, nullptr);
    tree.setProperty("negative", -7, nullptr);
    tree.setProperty("int64", (juce::int64)1 << 40, nullptr);
    tree.setProperty("double", 0.3, nullptr);
    tree.setProperty("on", true, nullptr);
    tree.setProperty("off", false, nullptr);
    tree.setProperty("text",
                     juce::String(juce::CharPointer_UTF8("Gr\xc3\xbc\xc3\x9f"
                                                         "e \xe2\x82\xac")),
                     nullptr);
    tree.setProperty("empty", juce::String(), nullptr);
    tree.setProperty("void", juce::var(), nullptr);
    tree.setProperty("undefined", juce::var::undefined(), nullptr);
    tree.setProperty("blob", juce::MemoryBlock("\0\1\2\3", 4), nullptr);
    tree.setProperty("emptyBlob", juce::MemoryBlock(), nullptr);
    tree.setProperty("array", juce::Array<juce::var>{1, "two", juce::Array<juce::var>{3.0, juce::var()}},
                     nullptr);
    juce::ValueTree child("PARAM");
    child.setProperty("id", "boostKnob", nullptr);
    child.setProperty("value", 2.0, nullptr);
    tree.appendChild(child, nullptr);
    tree.appendChild(juce::ValueTree("Empty"), nullptr);

    auto bytes = bytesOf(tree);
    ASSERT_TRUE(isReadable(bytes));
    EXPECT_TRUE(juce::ValueTree::readFromData(bytes.getData(), bytes.getSize()).isEquivalentTo(tree));

    bytes.append("trailing", 8); // a reader stops after the tree, and so does the check
    EXPECT_TRUE(isReadable(bytes));
}

TEST(StateBytesCheck, NestingIsLimitedAndTheLimitIsFarAboveARealState)
{
    EXPECT_TRUE(isReadable(bytesOf(nested(StateBytesCheck::maxDepth))));
    EXPECT_FALSE(isReadable(bytesOf(nested(StateBytesCheck::maxDepth + 1))));
    // Arrays nest inside a tree's property and count with it.
    EXPECT_TRUE(isReadable(bytesOf(withNestedArrays(StateBytesCheck::maxDepth - 1))));
    EXPECT_FALSE(isReadable(bytesOf(withNestedArrays(StateBytesCheck::maxDepth))));
}

TEST(StateBytesCheck, EveryCutOfARealStateIsRefused)
{
    juce::ValueTree tree("Brimwell");
    tree.setProperty("Current_Selected_Preset", "Default", nullptr);
    for (const auto* id : {"boostKnob", "driveKnob", "hpKnob"})
    {
        juce::ValueTree child("PARAM");
        child.setProperty("id", id, nullptr);
        child.setProperty("value", 0.5, nullptr);
        tree.appendChild(child, nullptr);
    }
    const auto bytes = bytesOf(tree);
    for (size_t size = 1; size < bytes.getSize(); ++size)
        EXPECT_FALSE(StateBytesCheck::isReadable(bytes.getData(), size)) << size << " of " << bytes.getSize();
}

TEST(StateBytesCheck, RefusesWhatTheReaderWouldTrustOrReadOtherwiseThanWritten)
{
    struct Case
    {
        const char* what;
        juce::MemoryBlock bytes;
    };
    auto tree = [] { return StateBytes().name("A"); };
    auto property = [&] { return tree().count(1).name("p"); };
    const Case cases[] = {
        {"no bytes", {}},
        {"empty type name", StateBytes().byte(0).count(0).count(0).bytes()},
        {"type name without its end", StateBytes().raw("Brimwell").bytes()},
        {"type name not UTF-8", StateBytes().raw("A\xc3").byte(0).count(0).count(0).bytes()},
        {"child count beyond the bytes", tree().count(0).count(1000).name("B").count(0).count(0).bytes()},
        {"child count of 2^31 - 1", tree().count(0).count(0x7fffffff).padding(40).bytes()},
        {"negative child count", tree().count(0).count(-1).name("B").count(0).count(0).bytes()},
        {"negative property count", tree().count(-1).name("p").count(0).count(0).bytes()},
        {"count of more than four bytes", tree().count(0).raw("\x05\1\0\0\0\0"sv).bytes()},
        {"count cut short", tree().count(0).raw("\x04\1\1").bytes()},
        {"property count at the end", tree().count(0x7fffffff).bytes()},
        {"empty property name", tree().count(1).byte(0).count(0).count(0).bytes()},
        {"value size beyond the bytes", property().count(200).byte(5).raw("abc").byte(0).count(0).bytes()},
        {"int of the wrong size", property().count(3).byte(1).raw("\1\2").count(0).count(0).count(0).bytes()},
        {"double of the wrong size", property().count(5).byte(4).raw("\1\2\3\4").count(0).bytes()},
        {"bool with a payload", property().count(2).byte(2).byte(1).count(0).bytes()},
        {"string not UTF-8", property().count(4).byte(5).raw("\xe2\x82").byte(0).count(0).bytes()},
        {"blob size beyond the bytes", property().count(0x7fffffff).byte(8).padding(20).bytes()},
        {"array count at the end", property().count(6).byte(7).count(0x7fffffff).bytes()},
        {"array longer than its size",
         property().count(2).byte(7).count(2).count(0).count(0).count(0).bytes()},
        {"child with an empty type", tree().count(0).count(1).byte(0).count(0).count(0).bytes()},
        {"more than the size limit",
         StateBytes().name("A").count(1).name("p").blob(StateBytesCheck::maxBytes).count(0).bytes()},
    };

    for (const auto& c : cases)
    {
        EXPECT_FALSE(isReadable(c.bytes)) << c.what;
        EXPECT_FALSE(StateBytesCheck::isReadable(nullptr, c.bytes.getSize())) << c.what;
    }

    // Just within: the same kinds of input, well formed, pass.
    EXPECT_TRUE(isReadable(tree().count(0).count(1).name("B").count(0).count(0).bytes()));
    EXPECT_TRUE(isReadable(property().count(5).byte(1).raw("\1\2\3\4").count(0).bytes()));
    EXPECT_TRUE(isReadable(property().count(4).byte(7).count(1).count(0).count(0).bytes()));
    EXPECT_TRUE(isReadable(
        StateBytes().name("A").count(1).name("p").blob(StateBytesCheck::maxBytes - 20).count(0).bytes()));
}

TEST(StateBytesCheck, PresetPropertiesAndParameterIdsAreOfTheKindTheWriterWrites)
{
    const auto writerState = [](const juce::var& name, const juce::var& modified, const juce::var& id)
    {
        juce::ValueTree tree("Brimwell");
        tree.setProperty("Current_Selected_Preset", name, nullptr);
        tree.setProperty("Preset_Has_Been_Modified", modified, nullptr);
        juce::ValueTree child("PARAM");
        child.setProperty("id", id, nullptr);
        child.setProperty("value", 2.0, nullptr);
        tree.appendChild(child, nullptr);
        return bytesOf(tree);
    };
    constexpr auto nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        const char* what;
        juce::MemoryBlock bytes;
        bool readable;
    };
    const Case cases[] = {
        {"as the writer writes them", writerState("Lead", true, "boostKnob"), true},
        {"not modified, no name", writerState(juce::String(), false, "boostKnob"), true},
        {"name as a NaN double", writerState(nan, false, "boostKnob"), false},
        {"name as an int", writerState(3, false, "boostKnob"), false},
        {"name as a bool", writerState(true, false, "boostKnob"), false},
        {"name void", writerState({}, false, "boostKnob"), false},
        {"modified as a NaN double", writerState("Lead", nan, "boostKnob"), false},
        {"modified as an int", writerState("Lead", 1, "boostKnob"), false},
        {"modified as text", writerState("Lead", "true", "boostKnob"), false},
        {"id as a NaN double", writerState("Lead", false, nan), false},
        {"id as an int", writerState("Lead", false, 7), false},
        {"id void", writerState("Lead", false, {}), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isReadable(c.bytes), c.readable) << c.what;

    // States saved by earlier versions, and the fuzzer's find that a NaN id reached the framework.
    const auto seeds = juce::File(BRIMWELL_SOURCE_DIR).getChildFile("tests/fuzz/seeds/state");
    const std::pair<const char*, bool> files[] = {{"default.state", true},
                                                  {"autogain_modified.state", true},
                                                  {"boost4_ultra.state", true},
                                                  {"power_on.state", true},
                                                  {"nan_id.state", false}};
    for (const auto& [file, readable] : files)
    {
        juce::MemoryBlock bytes;
        ASSERT_TRUE(seeds.getChildFile(file).loadFileAsData(bytes)) << file;
        EXPECT_EQ(isReadable(bytes), readable) << file;
    }
}
