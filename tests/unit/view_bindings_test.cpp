// The main window's tables against the model: every control placed and
// identified once. A control missing from a table would be created hidden or
// get a shifting identifier that the end-to-end drivers could not find.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "app/form1.h"
#include "app/win32/placements.h"
#include "app/win32/view_ids.h"
#include "platform/memory/memory_machine.h"

namespace vx::test {
namespace {

using app::ControlKind;

TEST(ViewTables, MatchTheModel) {
    memory::Machine machine;
    const app::TForm1 form{machine.platform()};
    std::map<std::string, ControlKind> kinds;
    for (const app::Control* c : form.controls())
        EXPECT_TRUE(kinds.emplace(std::string(c->name), c->kind).second) << c->name;

    for (const app::Control* c : form.controls()) {
        const bool unplaced = std::ranges::count(view::kUnplacedControls, c->name) == 1;
        const auto placed = std::ranges::count_if(view::placements(), [&](const auto& p) { return p.name == c->name; });
        EXPECT_EQ(placed, unplaced ? 0 : 1) << c->name;
        const auto ids = std::ranges::count_if(view::kControlIds, [&](const auto& i) { return i.name == c->name; });
        EXPECT_EQ(ids, c->kind == ControlKind::Form ? 0 : 1) << c->name;
    }
    for (const auto& p : view::placements()) EXPECT_TRUE(kinds.contains(std::string(p.name))) << p.name;
    for (std::string_view name : view::kUnplacedControls) EXPECT_TRUE(kinds.contains(std::string(name))) << name;

    std::set<int> ids;
    for (const auto& i : view::kControlIds) {
        EXPECT_TRUE(kinds.contains(std::string(i.name))) << i.name;
        EXPECT_TRUE(ids.insert(i.id).second) << "identifier " << i.id << " given twice";
        EXPECT_LT(i.id, view::kFirstUnlistedId) << i.name;
    }
}

// The controls are listed in the order the view creates them: the form
// first, every container before what it holds.
TEST(ViewTables, ContainersComeBeforeTheirContent) {
    memory::Machine machine;
    const app::TForm1 form{machine.platform()};
    const auto controls = form.controls();
    ASSERT_EQ(controls.size(), 58u);
    EXPECT_EQ(controls.front(), &form.Form1);
    EXPECT_EQ(controls.back(), &form.Label18);
    for (size_t i = 1; i < controls.size(); ++i) {
        ASSERT_NE(controls[i]->parent, nullptr) << controls[i]->name;
        EXPECT_LT(std::ranges::find(controls, controls[i]->parent) - controls.begin(), static_cast<std::ptrdiff_t>(i))
            << controls[i]->name;
    }
}

}  // namespace
}  // namespace vx::test
