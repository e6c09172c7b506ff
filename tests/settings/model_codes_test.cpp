#include <gtest/gtest.h>

#include <set>
#include <string>

#include "console/model_codes.h"

namespace dalmora {
namespace {

TEST(ModelCodeTableTest, codesOfTheDrivenFamilyNameTheirModels) {
    SharedState state;
    Build_Model_Code_Table(state);
    const auto& table = state.Model_Code_Table;
    EXPECT_EQ(table[0], "---");
    EXPECT_EQ(table[63], "---");
    EXPECT_EQ(table[64], "T3");
    EXPECT_EQ(table[65], "N5,N6,N8");
    EXPECT_EQ(table[66], "Q71");
    EXPECT_EQ(table[67], "HM15");
    EXPECT_EQ(table[68], "T3X");
    EXPECT_EQ(table[69], "RWN5D8");
    EXPECT_EQ(table[70], "ZC37");
    EXPECT_EQ(table[255], "---");
}

TEST(ModelCodeTableTest, otherModelsHaveNamesOfTheirOwn) {
    const auto table = modelCodeTable();
    std::set<std::string> names;
    int named = 0;
    for (const std::string& name : table) {
        EXPECT_FALSE(name.empty());
        if (name == "---") continue;
        ++named;
        EXPECT_TRUE(names.insert(name).second) << name << " names two codes";
    }
    EXPECT_EQ(named, 7 + 32);
}

}  // namespace
}  // namespace dalmora
