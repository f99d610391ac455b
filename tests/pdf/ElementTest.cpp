// The value model: copies share containers, texts are owned, lookups and first-key-wins.

#include "ReaderTestUtil.h"

using namespace reader_test;

TEST(Element, FreshAndClearedElementsAreNone) {
    CPdfElement e;
    EXPECT_TRUE(e.is(ElementKind::None));
    e.setString("abc");
    e.clear();
    EXPECT_TRUE(e.is(ElementKind::None));
    EXPECT_TRUE(e.getText().empty());
    e.clear(); // clearing None does nothing
    EXPECT_TRUE(e.is(ElementKind::None));
}

TEST(Element, TextsKeepEveryByteIncludingZeroBytes) {
    const std::string text("a\0b\0", 4);
    CPdfElement s;
    s.setString(text);
    CPdfElement copy(s);
    EXPECT_EQ(copy.getText(), text);
    EXPECT_EQ(copy.getText().size(), 4u);
    CPdfElement name;
    name.setName(std::string("x\0y", 3));
    EXPECT_EQ(CPdfElement(name).getText().size(), 3u);
}

TEST(Element, IsKeywordComparesKindAndWholeText) {
    CPdfElement rg;
    rg.setKeyword("RG");
    CPdfElement nameR;
    nameR.setName("R");
    CPdfElement r;
    r.setKeyword("R");
    EXPECT_FALSE(rg.isKeyword("R"));
    EXPECT_FALSE(nameR.isKeyword("R"));
    EXPECT_TRUE(r.isKeyword("R"));
}

TEST(Element, CopiesShareTheArrayWhichLivesUntilTheLastHolderClears) {
    CPdfElement first;
    first.makeArray(nullptr);
    CPdfElement item;
    item.setInteger(7);
    first.getArray()->append(item);
    CPdfElement second(first);
    EXPECT_EQ(first.getArray(), second.getArray());
    first.clear();
    ASSERT_TRUE(second.is(ElementKind::Array));
    ASSERT_EQ(second.getArray()->getCount(), 1u);
    EXPECT_EQ(second.getArray()->getItem(0).getInteger(), 7);
    second.clear(); // frees the array (the sanitizer build reports a leak or a double free)
}

TEST(Element, AssignmentFromAnItemOfItsOwnContainerIsSafe) {
    CPdfElement array;
    array.makeArray(nullptr);
    CPdfElement inner;
    inner.makeDictionary(nullptr);
    array.getArray()->append(inner);
    inner.clear();
    // The array holds the only reference to itself through `array`; assigning its own item
    // to the element must not free the item before it is copied.
    array = array.getArray()->getItem(0);
    EXPECT_TRUE(array.is(ElementKind::Dictionary));
}

TEST(Element, MovedFromElementIsNone) {
    CPdfElement a;
    a.setString("text");
    CPdfElement b(std::move(a));
    EXPECT_TRUE(a.is(ElementKind::None)); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(b.getText(), "text");
}

TEST(Element, IntegersKeepTheirExactValueBeside32BitSaturation) {
    CPdfElement e;
    e.setInteger64(5000000000LL);
    EXPECT_EQ(e.getInteger(), INT32_MAX);
    EXPECT_EQ(e.getInteger64(), 5000000000LL);
    e.setInteger(-3);
    EXPECT_EQ(e.getInteger64(), -3);
}

TEST(Dictionary, MissingKeyIsNullForBothLookups) {
    CPdfElement dict = parseOne("<< /A 1 >>");
    CPdfElement raw;
    CPdfElement resolved;
    dict.getDictionary()->getRawEntry("B", raw);
    dict.getDictionary()->getEntry("B", resolved);
    EXPECT_TRUE(raw.is(ElementKind::Null));
    EXPECT_TRUE(resolved.is(ElementKind::Null));
}

TEST(Dictionary, WithoutXRefAReferenceStaysUnresolved) {
    CPdfElement dict = parseOne("<< /A 4 0 R >>");
    CPdfElement value;
    dict.getDictionary()->getEntry("A", value);
    ASSERT_TRUE(value.is(ElementKind::Reference));
    EXPECT_EQ(value.getRefNumber(), 4);
}

TEST(Dictionary, LastValueOfARepeatedKeyHolds) {
    CPdfElement dict = parseOne("<< /A 1 /A 2 >>");
    EXPECT_EQ(intEntry(dict, "A"), 2);
    EXPECT_EQ(dict.getDictionary()->getCount(), 1u);
}

TEST(Dictionary, KeysAreOrderedBytewiseShorterPrefixFirst) {
    CPdfElement dict = parseOne("<< /b 1 /ab 2 /a 3 /B 4 /\xC3 5 >>");
    std::vector<std::string> keys;
    for (const auto& [key, value] : dict.getDictionary()->entries()) {
        (void)value;
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"B", "a", "ab", "b", "\xC3"}));
}

TEST(Dictionary, GetEntryResolvesThroughTheDocumentOnce) {
    // Object 4 is itself a reference: the lookup follows one level and gives that reference.
    qm_test::PdfBuilder pdf;
    basicObjects(pdf)
        .object(4, "5 0 R")
        .object(5, "42")
        .object(6, "<< /A 4 0 R /B 5 0 R >>")
        .classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    CPdfElement dict = fetch(xref, 6);
    CPdfElement a;
    CPdfElement b;
    CPdfElement raw;
    dict.getDictionary()->getEntry("A", a);
    dict.getDictionary()->getEntry("B", b);
    dict.getDictionary()->getRawEntry("B", raw);
    ASSERT_TRUE(a.is(ElementKind::Reference));
    EXPECT_EQ(a.getRefNumber(), 5);
    ASSERT_TRUE(b.is(ElementKind::Integer));
    EXPECT_EQ(b.getInteger(), 42);
    EXPECT_TRUE(raw.is(ElementKind::Reference));
}

TEST(Exception, CopiesCarryTheirOwnText) {
    std::string message = "Stamp file issue: 'a.pdf'\n";
    CPdfException original(message);
    message[0] = 'X';
    CPdfException copy(original);
    EXPECT_STREQ(copy.getMessage(), "Stamp file issue: 'a.pdf'\n");
}
