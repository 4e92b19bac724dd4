// The main window's tables against the model: every control placed and
// identified once, and every bound handler on a control that can raise its
// event. A control missing from a table would be created hidden or get a
// shifting identifier that the end-to-end drivers could not find.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "app/form1_bindings.h"
#include "app/form1_texts.h"
#include "app/win32/placements.h"
#include "app/win32/view_ids.h"

namespace vx::test {
namespace {

using app::ControlKind;

TEST(ViewTables, MatchTheModel) {
    const std::vector<app::Control> controls = app::initialControls();
    std::map<std::string, ControlKind> kinds;
    for (const app::Control& c : controls) EXPECT_TRUE(kinds.emplace(c.name, c.kind).second) << c.name;

    for (const app::Control& c : controls) {
        const bool unplaced = std::ranges::count(view::kUnplacedControls, c.name) == 1;
        const auto placed = std::ranges::count_if(view::placements(), [&](const auto& p) { return p.name == c.name; });
        EXPECT_EQ(placed, unplaced ? 0 : 1) << c.name;
        const auto ids = std::ranges::count_if(view::kControlIds, [&](const auto& i) { return i.name == c.name; });
        EXPECT_EQ(ids, c.kind == ControlKind::Form ? 0 : 1) << c.name;
    }
    for (const auto& p : view::placements()) EXPECT_TRUE(kinds.contains(std::string(p.name))) << p.name;
    for (std::string_view name : view::kUnplacedControls) EXPECT_TRUE(kinds.contains(std::string(name))) << name;

    std::set<int> ids;
    for (const auto& i : view::kControlIds) {
        EXPECT_TRUE(kinds.contains(std::string(i.name))) << i.name;
        EXPECT_TRUE(ids.insert(i.id).second) << "identifier " << i.id << " given twice";
        EXPECT_LT(i.id, view::kFirstUnlistedId) << i.name;
    }

    // Every bound handler sits on a control that raises its event.
    std::set<std::pair<std::string, app::Event>> seen;
    for (const app::Binding& b : app::kBindings) {
        const std::string name(b.control);
        ASSERT_TRUE(kinds.contains(name)) << name;
        EXPECT_TRUE(app::canRaise(kinds[name], b.event)) << name << " event " << static_cast<int>(b.event);
        EXPECT_TRUE(seen.emplace(name, b.event).second) << name << " bound twice to one event";
        EXPECT_NE(b.handler, nullptr) << name;
    }
    for (const app::CheckBinding& b : app::kCheckBindings) {
        const std::string name(b.control);
        ASSERT_TRUE(kinds.contains(name)) << name;
        EXPECT_EQ(kinds[name], ControlKind::CheckBox) << name;
    }
}

}  // namespace
}  // namespace vx::test
