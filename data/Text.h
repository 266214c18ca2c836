#pragma once
// Texts of the recording are GBK (code page 936) bytes. Only the edges that show them to a
// person or take them from one convert; everything in between keeps the bytes.

#include <string>
#include <string_view>

// Undecodable bytes become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// Characters GBK cannot hold become '?'.
std::string Utf8ToGbk(std::string_view utf8);
