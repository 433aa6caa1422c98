// Undo and redo over an opened document: every kind of change goes back to the rows, bytes,
// selection and modified mark it left, and comes again.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "formats/geotiff_tags.h"
#include "stream/memory_stream.h"
#include "tests/ui/scripted_platform.h"
#include "tests/ui/test_files.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/georef_edit.h"
#include "ui/jp2_header_edit.h"
#include "ui/memory_box_list.h"
#include "ui/open_document.h"
#include "ui/save_document.h"
#include "ui/undo.h"
#include "ui/xmp_edit.h"

namespace bq::test {
namespace {

// Rows: 0 ftyp, 1 jp2h, 2 asoc, 3 lbl (in 2), 4 xml (in 2), 5 jp2c. Payloads over 16 bytes
// (the header, the codestream) stay in the file, as large codestreams do.
Bytes undoDocument() {
    const Bytes header = boxBytes("ihdr", Bytes(14, 1));
    const Bytes set =
        concat({boxBytes("lbl ", textBytes("gml.data")), boxBytes("xml ", textBytes("<a/>"))});
    return concat({kSignatureBytes, boxBytes("ftyp", kFileTypePayload), boxBytes("jp2h", header),
                   boxBytes("asoc", set), boxBytes("jp2c", concat({{0xFF, 0x4F}, Bytes(40, 7)}))});
}

struct State {
    std::vector<std::string> rows;
    Bytes bytes;
    int selected = -1;
    bool modified = false;
    std::string pane;
    bool operator==(const State&) const = default;
};

void PrintTo(const State& state, std::ostream* out) {
    for (const std::string& row : state.rows) {
        *out << row << "; ";
    }
    *out << state.bytes.size() << " bytes, row " << state.selected
         << (state.modified ? " modified" : "") << ", pane '" << state.pane << "'";
}

struct Document {
    Document() {
        boxes.onSelectionChanged = [this](int row) { listItemChanged(app, row, kLvifState); };
        writeFile(path, undoDocument());
        openDocument(app, path, 16);
    }
    State state() {
        refreshAssociationSizes(boxes);  // as a save does
        State now{{},
                  Bytes(4096),
                  boxes.selectedRow(),
                  app.modified(),
                  platform.controlText(IDC_CONTENT)};
        for (int row = 0; row < boxes.rowCount(); ++row) {
            now.rows.push_back(boxes.cellText(row, 0) + "|" + boxes.cellText(row, 1) + "|" +
                               boxes.cellText(row, 2));
        }
        MemoryStream stream;
        stream.attach(now.bytes.data(), static_cast<std::uint32_t>(now.bytes.size()));
        EXPECT_TRUE(writeDocument(boxes, stream));
        now.bytes.resize(stream.tell());
        return now;
    }
    void selectFirst(std::uint32_t type) {
        for (int row = 0; row < boxes.rowCount(); ++row) {
            if (boxes.boxAt(row)->type == type) {
                return boxes.selectRow(row);
            }
        }
        ADD_FAILURE() << "no " << upperTypeText(type);
    }
    // Typing reaches the selected row.
    bool type(const std::string& text) {
        platform.setControlText(IDC_CONTENT, text);
        return takePaneText(app);
    }
    bool type(int row, const std::string& text) {
        boxes.selectRow(row);
        return type(text);
    }

    TempFolder folder;
    std::string path = folder.file("in.jp2");
    ScriptedPlatform platform;
    MemoryBoxList boxes;
    App app{platform, boxes};
};

using Change = std::function<bool(Document&)>;

// In an order that each finds its box when they follow one another.
const struct {
    const char* name;
    std::uint32_t selected;  // the first box of this type is selected before the change
    Change change;
} kChanges[] = {
    {"add xml", kTypeJp2h,
     [](Document& d) {
         d.platform.addDialogAnswers.push_back(IDC_ADD_XML);
         return addBox(d.app);
     }},
    {"add gml in an association", kTypeAsoc,
     [](Document& d) {
         d.platform.addDialogAnswers.push_back(IDC_ADD_GML);
         return addBox(d.app);
     }},
    {"typing", kTypeXml, [](Document& d) { return d.type("<b>longer</b>"); }},
    {"payload load", kTypeLbl,
     [](Document& d) {
         writeFile(d.folder.file("l.txt"), textBytes("another label"));
         d.platform.openFileAnswers.push_back(d.folder.file("l.txt"));
         return importBoxPayload(d.app);
     }},
    {"resolution", kTypeFtyp,
     [](Document& d) {
         std::string why;
         const auto capture = resolutionFromFields({"300", "150"}, {}, why);
         return capture && setResolution(d.app, *capture, {});
     }},
    {"xmp", kTypeLbl, [](Document& d) { return setXmpPacket(d.app, "<x/>"); }},
    {"delete an association", kTypeAsoc,
     [](Document& d) {
         d.platform.yesNoAnswers.push_back(true);
         return deleteBox(d.app);
     }},
    {"georeferencing", kTypeXml,
     [](Document& d) {
         return setGeoreferencing(d.app, geoTiffTagsFor({500, 2, 0, 900, 0, -2}, 32633, false), {});
     }},
};

TEST(Undo, EachKindOfChangeGoesBackAndComesAgain) {
    for (const auto& row : kChanges) {
        SCOPED_TRACE(row.name);
        Document d;
        d.selectFirst(row.selected);
        const State before = d.state();
        EXPECT_FALSE(canUndo(d.app));
        ASSERT_TRUE(row.change(d));
        const State after = d.state();
        ASSERT_NE(after.bytes, before.bytes);
        ASSERT_TRUE(canUndo(d.app));
        EXPECT_TRUE(undo(d.app));
        EXPECT_EQ(d.state(), before);
        EXPECT_FALSE(canUndo(d.app));
        EXPECT_TRUE(redo(d.app));
        EXPECT_EQ(d.state(), after);
        EXPECT_FALSE(canRedo(d.app));
        EXPECT_EQ(d.platform.callsOf(ScriptedPlatform::Kind::ShowErrorBox).size(), 0u);
    }
}

TEST(Undo, EveryStepBackThenForwardAndTheSavedStateIsTheUnmodifiedOne) {
    Document d;
    std::vector<State> before;
    std::vector<State> after;
    for (const auto& row : kChanges) {
        d.selectFirst(row.selected);
        before.push_back(d.state());
        ASSERT_TRUE(row.change(d)) << row.name;
        if (after.size() == 2) {
            // Saved in place: the codestream's window moves to the new file, in the history too.
            d.platform.saveFileAnswers.push_back(d.path);
            saveDocument(d.app);
        }
        after.push_back(d.state());
    }
    before[0].modified = true;  // the file on disk is now the saved state, not the opened one
    for (std::size_t i = before.size(); i-- > 0;) {
        ASSERT_TRUE(undo(d.app));
        EXPECT_EQ(d.state(), before[i]) << kChanges[i].name;
    }
    EXPECT_FALSE(undo(d.app));
    for (std::size_t i = 0; i < after.size(); ++i) {
        ASSERT_TRUE(redo(d.app));
        // Redo gives the state back as undo found it, the next change's row selected.
        if (i + 1 < before.size()) {
            after[i].selected = before[i + 1].selected;
            after[i].pane = before[i + 1].pane;
        }
        EXPECT_EQ(d.state(), after[i]) << kChanges[i].name;
    }
    EXPECT_FALSE(after[2].modified);
    EXPECT_EQ(d.platform.callsOf(ScriptedPlatform::Kind::ShowErrorBox).size(), 0u);
}

TEST(Undo, TypingIntoOneBoxIsOneStepUntilSomethingElseHappens) {
    Document d;
    const State opened = d.state();
    d.type(4, "<b");
    d.type(4, "<b/");
    d.type(4, "<b/>");
    const State typed = d.state();
    d.platform.saveFileAnswers.push_back(d.folder.file("out.jp2"));
    saveDocument(d.app);
    d.type(4, "<c/>");
    ASSERT_TRUE(undo(d.app));
    EXPECT_EQ(d.state().bytes, typed.bytes);
    EXPECT_FALSE(d.app.modified());
    d.type(3, "x");
    d.type(4, "<d/>");
    EXPECT_EQ(d.app.history().undoSteps(), 3u);
    undo(d.app);
    undo(d.app);
    undo(d.app);
    EXPECT_EQ(d.state().bytes, opened.bytes);
}

TEST(Undo, OpeningAFileOrFailingToForgetsTheHistoryAndItStaysWithinItsSteps) {
    Document d;
    for (std::size_t i = 0; i <= kMaxUndoSteps; ++i) {
        d.type(i % 2 == 0 ? 3 : 4, std::to_string(i));
    }
    EXPECT_EQ(d.app.history().undoSteps(), kMaxUndoSteps);
    writeFile(d.folder.file("bad.jp2"), textBytes("not a JP2 file"));
    openDocument(d.app, d.folder.file("bad.jp2"));
    EXPECT_FALSE(canUndo(d.app));
    openDocument(d.app, d.path, 16);
    d.type(4, "x");
    ASSERT_TRUE(undo(d.app));
    openDocument(d.app, d.path, 16);
    EXPECT_FALSE(canUndo(d.app));
    EXPECT_FALSE(canRedo(d.app));
}

}  // namespace
}  // namespace bq::test
