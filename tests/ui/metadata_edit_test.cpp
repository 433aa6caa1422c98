// The rules behind the Resolution, XMP and profile dialogs, as the CLI runs them too.

#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/scripted_platform.h"
#include "tests/ui/test_files.h"
#include "ui/jp2_header_edit.h"
#include "ui/memory_box_list.h"
#include "ui/xmp_edit.h"

namespace bq::test {
namespace {

using Action = ResolutionChange::Action;

// A document of one JP2 header that holds an image header only.
struct HeaderDocument {
    HeaderDocument() {
        Bytes payload = boxBytes("ihdr", Bytes(14, 1));
        auto box = std::make_unique<GenericBox>(payload.size(), kTypeJp2h);
        payload.push_back(0);
        box->data = payload;
        boxes.setRowBox(boxes.insertRow(kAppendRow, {}), std::move(box));
    }
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

TEST(ResolutionFromFields, KeepsWhatOpenedRemovesWhatIsTickedAndFitsTheRest) {
    const ResolutionFields shown{"72.0001", "72.0001"};
    const struct {
        ResolutionFields fields;
        Action action;
        double horizontal;  // dpi set
        double vertical;
        const char* why;
    } rows[] = {
        {{"72.0001", "72.0001"}, Action::Keep, 0, 0, ""},
        {{"", " "}, Action::Keep, 0, 0, ""},
        {{"x", "y", ResolutionUnit::PerInch, true}, Action::Remove, 0, 0, ""},
        {{"72.0001", "72.0001", ResolutionUnit::PerMetre},
         Action::Set,
         72.0001 * 0.0254,
         72.0001 * 0.0254,
         ""},
        {{" 5 ", ""}, Action::Set, 5, 5, ""},
        {{"5", "7"}, Action::Set, 5, 7, ""},
        {{"0", "5"}, Action::Keep, 0, 0, "give positive numbers"},
        {{"5 dpi", ""}, Action::Keep, 0, 0, "give positive numbers"},
        {{"1e300", ""}, Action::Keep, 0, 0, "beyond what a resolution box can hold"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fields.horizontal + "/" + row.fields.vertical);
        std::string why;
        const std::optional<ResolutionChange> change = resolutionFromFields(
            {row.fields.horizontal, row.fields.vertical, row.fields.unit, row.fields.remove}, shown,
            why);
        EXPECT_EQ(why, row.why);
        ASSERT_EQ(change.has_value(), *row.why == '\0');
        if (!change) {
            continue;
        }
        EXPECT_EQ(change->action, row.action);
        if (row.action == Action::Set) {
            EXPECT_NEAR(change->horizontal.perInch().value_or(0), row.horizontal, 1e-6);
            EXPECT_NEAR(change->vertical.perInch().value_or(0), row.vertical, 1e-6);
        }
    }
}

TEST(ResolutionFromFields, WhatIsSetOpensTheDialogAgainAsTypedInDpi) {
    HeaderDocument document;
    std::string why;
    const auto capture = resolutionFromFields({"300", "150"}, {}, why);
    ASSERT_TRUE(capture) << why;
    ASSERT_TRUE(setResolution(document.app, *capture, {}));
    const auto shown = storedResolutionFields(document.boxes);
    EXPECT_EQ(shown[0], (ResolutionFields{"300", "150"}));
    EXPECT_EQ(shown[1], ResolutionFields{});
}

TEST(ProfileFiles, NothingOverTheCapIsReadOrWritten) {
    const TempFolder folder;
    const Bytes largest(kMaxProfile, 7);
    writeFile(folder.file("largest.icc"), largest);
    EXPECT_EQ(readProfileFile(folder.file("largest.icc")).error, InputError::None);
    writeFile(folder.file("over.icc"), concat({largest, {7}}));
    EXPECT_EQ(readProfileFile(folder.file("over.icc")).error, InputError::TooLarge);

    std::string why;
    EXPECT_FALSE(writeProfileFile(folder.file("out.icc"), concat({largest, {7}}), why));
    EXPECT_EQ(why, "the colour profile is too large to export");
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.icc")));
    EXPECT_TRUE(writeProfileFile(folder.file("out.icc"), largest, why));
    EXPECT_EQ(readFile(folder.file("out.icc")), largest);
}

TEST(ApplyXmpEdit, LineEndsGoBackAsTheyCameAndTheSamePacketIsNoEdit) {
    const struct {
        const char* opened;
        const char* edited;
        XmpEdit result;
        const char* stored;
    } rows[] = {
        {"<a>\n</a>", "<a>\r\n</a>", XmpEdit::Unchanged, "<a>\n</a>"},
        {"<a>\n</a>", "<a>\r\n<b/></a>", XmpEdit::Replaced, "<a>\n<b/></a>"},
        {"<a>\r\n</a>", "<a>\r\n<b/></a>", XmpEdit::Replaced, "<a>\r\n<b/></a>"},
        {"<a>\n</a>", "<a>\r\n<b></a>", XmpEdit::Refused, "<a>\n</a>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edited);
        HeaderDocument document;
        ASSERT_TRUE(setXmpPacket(document.app, row.opened));
        document.app.markUnmodified();
        EXPECT_EQ(applyXmpEdit(document.app, row.opened, row.edited), row.result);
        std::string why;
        EXPECT_EQ(xmpPacket(document.boxes, why), row.stored);
        EXPECT_EQ(document.app.modified(), row.result == XmpEdit::Replaced);
        EXPECT_EQ(document.platform.callsOf(ScriptedPlatform::Kind::ShowErrorBox).size(),
                  row.result == XmpEdit::Refused ? 1u : 0u);
    }
}

}  // namespace
}  // namespace bq::test
