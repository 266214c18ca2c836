#pragma once
// The recorder's engineering-unit table, indexed by the unit code it stores per channel.
// Texts are GBK bytes, as the recorder and the files the program writes carry them.

#include <array>
#include <string_view>

constexpr int UnitNameCount = 95;
constexpr int CatchAllUnitCode = 94; // "单位", used for every code above 94

extern const std::array<std::string_view, UnitNameCount> UnitNames;

// Codes outside 0..94 (negative ones included) give the catch-all entry.
std::string_view UnitNameForCode(int code);
