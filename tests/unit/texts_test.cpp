#include "scan/texts.h"

#include <gtest/gtest.h>

namespace vx::test {
namespace {

using scan::fill;

TEST(TextPatterns, HolesAreFilledInOrderAndPartsAreInsertedAsTheyAre) {
    EXPECT_EQ(fill("[VX] > File {} found in {}!", {"E:\\a.js", "E:\\"}), "[VX] > File E:\\a.js found in E:\\!");
    EXPECT_EQ(fill("{}{}", {"{}", "x"}), "{}x") << "a hole inside a part is no hole";
    EXPECT_EQ(fill("line {}", {}), "line {}") << "a hole without a part stays as written";
    EXPECT_EQ(fill("no hole ", {"unused"}), "no hole ") << "trailing blanks are kept";
    EXPECT_EQ(fill("", {"x"}), "");
}

}  // namespace
}  // namespace vx::test
