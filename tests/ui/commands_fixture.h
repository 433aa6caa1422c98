#pragma once
// The editing commands' suite runs against any BoxList: a test program instantiates
// CommandsTest with a factory for its list (the in-memory one natively, the list view under
// Wine), so both lists are held to the same rules.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "box/association_box.h"
#include "box/box.h"
#include "box/text_box.h"
#include "box/uuid_box.h"
#include "tests/ui/scripted_platform.h"
#include "ui/app.h"
#include "ui/box_list.h"
#include "ui/commands.h"
#include "ui/control_ids.h"

namespace bq::test {

// Makes a list whose selection changes reach `notify` with the newly selected row, as the
// list view's state-change notifications reach the panel.
using BoxListFactory = std::function<std::unique_ptr<BoxList>(std::function<void(int row)> notify)>;

struct NamedBoxListFactory {
    std::string name;
    BoxListFactory make;
};

inline void PrintTo(const NamedBoxListFactory& factory, std::ostream* out) {
    *out << factory.name;
}

class CommandsTest : public ::testing::TestWithParam<NamedBoxListFactory> {
  protected:
    CommandsTest()
        : list(GetParam().make([this](int row) { listItemChanged(*app, row, kLvifState); })),
          app(std::make_unique<App>(platform, *list)) {}

    // Appends a row for the box as the document reader does; depth and parent follow the
    // given depth and the association rows above it.
    Box* append(std::unique_ptr<Box> box, int depth = 0) {
        box->depth = depth;
        box->parent = nullptr;
        for (int row = list->rowCount() - 1; row >= 0; --row) {
            Box* above = list->boxAt(row);
            if (above->depth < depth) {
                box->parent = above->type == kTypeAsoc ? above : nullptr;
                break;
            }
        }
        Box* raw = box.get();
        const int row = list->insertRow(
            kAppendRow, {idText(*box), box->description(), std::to_string(box->payloadSize)});
        list->setRowBox(row, std::move(box));
        return raw;
    }
    Box* appendGeneric(std::uint32_t type, int depth = 0, std::uint32_t size = 4) {
        return append(std::make_unique<GenericBox>(size, type), depth);
    }
    Box* appendXml(std::string_view text, int depth = 0) {
        auto box = std::make_unique<XmlBox>();
        box->setText(text);
        return append(std::move(box), depth);
    }
    Box* appendLabel(std::string_view text, int depth = 0) {
        auto box = std::make_unique<LabelBox>();
        box->setText(text);
        return append(std::move(box), depth);
    }
    Box* appendAsoc(int depth = 0, std::uint32_t size = 0) {
        return append(std::make_unique<AssociationBox>(size), depth);
    }

    // The type of every row, in order.
    std::vector<std::uint32_t> rowTypes() const {
        std::vector<std::uint32_t> types;
        for (int row = 0; row < list->rowCount(); ++row) {
            types.push_back(list->boxAt(row)->type);
        }
        return types;
    }

    ScriptedPlatform platform;
    std::unique_ptr<BoxList> list;
    std::unique_ptr<App> app;
};

}  // namespace bq::test
