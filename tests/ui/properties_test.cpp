#include "ui/properties.h"

#include <gtest/gtest.h>

#include "box/text_box.h"
#include "describe/description.h"
#include "tests/ui/scripted_platform.h"
#include "ui/memory_box_list.h"

namespace bq::test {
namespace {

TEST(WithCrLf, BreaksEveryBareLineFeedOnceAndLeavesTheRestAlone) {
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"", ""},
        {"a", "a"},
        {"\n", "\r\n"},
        {"a\nb\n", "a\r\nb\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb", "a\r\nb"},
        {"\r\n\n", "\r\n\r\n"},
        {"a\rb", "a\rb"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(withCrLf(row.text), row.expected) << testing::PrintToString(row.text);
    }
}

TEST(PropertiesTitle, NamesTheRowsBoxWithoutTheIndentationOfItsDepth) {
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
    for (const int depth : {0, 2}) {
        auto box = std::make_unique<XmlBox>();
        box->depth = depth;
        insertBoxRow(boxes, kAppendRow, std::move(box));
    }
    EXPECT_EQ(propertiesTitle(app, 0), "XML XML file - Properties");
    EXPECT_EQ(propertiesTitle(app, 1), "XML XML file - Properties");
    EXPECT_EQ(propertiesTitle(app, 2), "Properties");
}

TEST(DescriptionText, ShowsATextOfSeveralLinesAsItsLinesWhateverEndsThem) {
    const struct {
        const char* packet;
        const char* expected;
    } rows[] = {
        {"<x/>", "xmp: <x/>\n"},
        {"<a>\n<b/>\n</a>", "xmp:\n  <a>\n  <b/>\n  </a>\n"},
        {"<a>\r\n<b/>\r\n", "xmp:\n  <a>\n  <b/>\n"},
        {"<a>\r<b/>\r</a>", "xmp:\n  <a>\n  <b/>\n  </a>\n"},
        {"<a>\r\r<b/>", "xmp:\n  <a>\n  \n  <b/>\n"},
    };
    for (const auto& row : rows) {
        Description description;
        description.fields["xmp"] = row.packet;
        EXPECT_EQ(descriptionText(description), row.expected) << testing::PrintToString(row.packet);
    }
}

}  // namespace
}  // namespace bq::test
