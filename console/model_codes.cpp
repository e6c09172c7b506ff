#include "console/model_codes.h"

#include <cstdint>

namespace dalmora {
namespace {

struct ModelCode {
    std::uint8_t code;
    const char* name;
};

// 64 to 70 are the family this console drives (T3X only has a name here); 71 to 102 are the
// other controllers of the maker, which a scan names but nothing here drives.
constexpr std::array<ModelCode, 39> kModelCodes{{
    {64, "T3"},    {65, "N5,N6,N8"}, {66, "Q71"},   {67, "HM15"},  {68, "T3X"},
    {69, "RWN5D8"}, {70, "ZC37"},
    {71, "K8"},    {72, "K9"},    {73, "PX40"},  {74, "PX48"},  {75, "PX72"},  {76, "PX96"},
    {77, "LD22"},  {78, "LD44"},  {79, "MR10"},  {80, "MR20"},  {81, "VT5"},   {82, "VT7"},
    {83, "QA12"},  {84, "QA24"},  {85, "SR60"},  {86, "SR90"},  {87, "HD4"},   {88, "HD8"},
    {89, "DX31"},  {90, "DX62"},  {91, "GT16"},  {92, "GT32"},  {93, "FE7"},   {94, "FE9"},
    {95, "BN3"},   {96, "BN6"},   {97, "WC40"},  {98, "WC80"},  {99, "TR18"},  {100, "TR36"},
    {101, "ZL5"},  {102, "ZL9"},
}};

constexpr bool codesAscendWithoutRepeats() {
    for (std::size_t i = 1; i < kModelCodes.size(); ++i) {
        if (kModelCodes[i].code <= kModelCodes[i - 1].code) return false;
    }
    return true;
}
static_assert(codesAscendWithoutRepeats(), "each model code names one model");

}  // namespace

std::array<std::string, 256> modelCodeTable() {
    std::array<std::string, 256> table;
    table.fill(kNone);
    for (const ModelCode& row : kModelCodes) {
        table[row.code] = row.name;
    }
    return table;
}

void Build_Model_Code_Table(SharedState& state) {
    state.Model_Code_Table = modelCodeTable();
}

}  // namespace dalmora
