// The editing commands' suite over the in-memory box list.

#include "tests/ui/commands_fixture.h"
#include "ui/memory_box_list.h"

namespace bq::test {
namespace {

std::unique_ptr<BoxList> makeMemoryList(std::function<void(int)> notify) {
    auto list = std::make_unique<MemoryBoxList>();
    list->onSelectionChanged = std::move(notify);
    return list;
}

INSTANTIATE_TEST_SUITE_P(MemoryBoxList, CommandsTest,
                         ::testing::Values(NamedBoxListFactory{"Memory", makeMemoryList}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace bq::test
