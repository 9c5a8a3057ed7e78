// Two files that each keep a name table called kRows in their own anonymous
// namespace, with as many rows but other names, and a program that asks each
// file's table for every name in both directions. A toolchain that gave the
// two tables one index would answer one file's names from the other's rows.
//
// Built three times: with -DVKT_SIDE=1 and -DVKT_SIDE=2 (the two tables) and
// without (the program). Prints "<side> <get|set> <name> <row found or ->".
#include <cstdio>

#include "name_index.h"

const char* find_in_1(const char* name, bool set);
const char* find_in_2(const char* name, bool set);

#ifdef VKT_SIDE

#define VKT_FIND_IN(side) VKT_FIND_IN_(side)
#define VKT_FIND_IN_(side) find_in_##side

namespace {
using vkt_unit::ParamRow;
using K = vkt_unit::ValueKind;

#if VKT_SIDE == 1
constexpr ParamRow kRows[] = {
    {"Alpha", K::Int32, K::Int32}, {"Shared", K::Int32, K::None}, {"Wide", K::Text, K::Text}};
#else
constexpr ParamRow kRows[] = {
    {"Beta", K::UInt32, K::UInt32}, {"Shared", K::None, K::Int32}, {"Gamma", K::Int32, K::None}};
#endif

constexpr auto kTable = vkt_unit::indexed(kRows);
}  // namespace

const char* VKT_FIND_IN(VKT_SIDE)(const char* name, bool set) {
    const ParamRow* row =
        kTable.find(name, set ? vkt_unit::Direction::Set : vkt_unit::Direction::Get);
    return row == nullptr ? "-" : row->name;
}

#else

int main() {
    const char* const names[] = {"Alpha", "Beta", "Gamma", "Shared", "Wide", "Delta"};
    for (int side = 1; side <= 2; ++side) {
        for (bool set : {false, true}) {
            for (const char* name : names) {
                const char* found = side == 1 ? find_in_1(name, set) : find_in_2(name, set);
                std::printf("%d %s %s %s\n", side, set ? "set" : "get", name, found);
            }
        }
    }
    return 0;
}

#endif
