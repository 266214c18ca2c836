#include "chart/ChartReadout.h"

#include <cstdio>

std::string ReadoutTitle(DateTime x) {
    return "Longitudinal vernier X: " + ReadoutSecond(x);
}

std::string ReadoutSecond(DateTime x) {
    return FormatDateTime(x, ReadoutTimePattern);
}

std::string ReadoutEntry(std::string_view title, std::string_view unit,
                         std::optional<float> value) {
    std::string text(title);
    if (!value) {
        text += NoReading;
        return text;
    }
    char number[64];
    std::snprintf(number, sizeof number, " %0.3f", static_cast<double>(*value));
    text += number;
    text += unit;
    return text;
}
