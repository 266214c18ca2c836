#include "data/UnitNames.h"

// clang-format off
const std::array<std::string_view, UnitNameCount> UnitNames = {
    "m3/h", // 0
    "m3/min", // 1
    "m3/s", // 2
    "Kg/h", // 3
    "Kg/min", // 4
    "Kg/s", // 5
    "L/h", // 6
    "L/min", // 7
    "L/s", // 8
    "t/h", // 9
    "t/min", // 10
    "t/s", // 11
    "Mpa", // 12
    "Kpa", // 13
    "Pa", // 14
    "Kgf/cm2", // 15
    "mmH2O", // 16
    "mmHg", // 17
    "Bar", // 18
    "\xA1\xE6", // 19 ℃
    "%", // 20
    "ppm", // 21
    "pH", // 22
    "r/min", // 23
    "mm", // 24
    "Hz", // 25
    "KHz", // 26
    "mA", // 27
    "A", // 28
    "KA", // 29
    "mV", // 30
    "V", // 31
    "KV", // 32
    "VA", // 33
    "KVA", // 34
    "W", // 35
    "KW", // 36
    "MW", // 37
    "J", // 38
    "KJ", // 39
    "Kg", // 40
    "Kwh", // 41
    "km3/h", // 42
    "kNm3/h", // 43
    "Nm3/h", // 44
    "K", // 45
    "mmBar", // 46
    "mBar", // 47
    "mHg", // 48
    "mH20", // 49
    "Kgf/m2", // 50
    "uA", // 51
    "uV", // 52
    "Wh", // 53
    "Nm", // 54
    "MHz", // 55
    "\xA1\xEB", // 56 ‰
    "ppmO2", // 57
    "ppmH2", // 58
    "\xA3\xA5O2", // 59 ％O2
    "\xA3\xA5LEL", // 60 ％LEL
    "um", // 61
    "cm", // 62
    "m", // 63
    "MJ", // 64
    "GJ", // 65
    "RH", // 66
    "rpm", // 67
    "m/s", // 68
    "m/min", // 69
    "\xA8H", // 70 ℉
    "\xA1\xE3", // 71 °
    "\xA3\xA5RH", // 72 ％RH
    "cm/s", // 73
    "mm/s", // 74
    "mm/h", // 75
    "\xA3\xA5/m3", // 76 ％/m3
    "KLUX", // 77
    "LUX", // 78
    "min", // 79
    "ug/L", // 80
    "mg/L", // 81
    "g/m3", // 82
    "mg", // 83
    "g", // 84
    "t", // 85
    "h", // 86
    "PPT", // 87
    "mg/m3", // 88
    "us/cm", // 89
    "ms/cm", // 90
    "mL/h", // 91
    "mL/min", // 92
    "mL/s", // 93
    "\xB5\xA5\xCE\xBB", // 94 单位
};
// clang-format on

std::string_view UnitNameForCode(int code) {
    if (code < 0 || code > CatchAllUnitCode)
        return UnitNames[CatchAllUnitCode];
    return UnitNames[static_cast<size_t>(code)];
}
