#pragma once
// Every text the device layers put into a caller's error buffer, and the two messages the live
// run and the command-line poll show when a connection cannot be made. One list, so the texts
// stay exactly as they have always read (spelling slips included).
//
// Texts are GBK bytes like every other text of the program; the comments give them in UTF-8.

#include <string_view>

namespace DeviceText {

// clang-format off

// Serial port link: opening the port.
inline constexpr std::string_view NoSuchPort = "no such port or port not opened!";
inline constexpr std::string_view PortInUse = "no such port or port has be opened!";
inline constexpr std::string_view SystemCallFailed = "call win32 function fail, please call!";
inline constexpr std::string_view BadDataBits = "no defined databits!";
inline constexpr std::string_view BadStopBits = "no defined stopits!";
inline constexpr std::string_view BadParity = "no defined Paritys!";
inline constexpr std::string_view BadBaudRate = "no defined baudrate!";
inline constexpr std::string_view BadLineParameter = "bad parm!";

// Serial port link: writing and reading (the wording says "write" for both).
// 串口未打开!
inline constexpr std::string_view PortNeverOpened = "\xB4\xAE\xBF\xDA\xCE\xB4\xB4\xF2\xBF\xAA!";
inline constexpr std::string_view PortNotOpened = "Port is not opened in advance!";
inline constexpr std::string_view BadParameter = "Bad parameter!";
inline constexpr std::string_view WriteAborted = "User abort blocked write!";
inline constexpr std::string_view WriteTimeout = "Write timeout happened!";
inline constexpr std::string_view ReceiveTimeout = ": timeout";
// A wait for a reply cut short (the start cancelled, the program ending).
inline constexpr std::string_view Cancelled = "cancelled";

// Modbus framing.
// 无效包类型
inline constexpr std::string_view InvalidRequestKind = "\xCE\xDE\xD0\xA7\xB0\xFC\xC0\xE0\xD0\xCD";
// 返回字符个数不正确!
inline constexpr std::string_view BadReplyLength =
    "\xB7\xB5\xBB\xD8\xD7\xD6\xB7\xFB\xB8\xF6\xCA\xFD\xB2\xBB\xD5\xFD\xC8\xB7!";
// CRC校验不正确!
inline constexpr std::string_view BadCrc = "CRC\xD0\xA3\xD1\xE9\xB2\xBB\xD5\xFD\xC8\xB7!";
// 返回包的设备地址不正确
inline constexpr std::string_view BadReplyAddress =
    "\xB7\xB5\xBB\xD8\xB0\xFC\xB5\xC4\xC9\xE8\xB1\xB8\xB5\xD8\xD6\xB7\xB2\xBB\xD5\xFD\xC8\xB7";
// 返回包的功能码不正确 (also for a wrong slot echo)
inline constexpr std::string_view BadReplyFunction =
    "\xB7\xB5\xBB\xD8\xB0\xFC\xB5\xC4\xB9\xA6\xC4\xDC\xC2\xEB\xB2\xBB\xD5\xFD\xC8\xB7";
// 返回包的字节个数不正确
inline constexpr std::string_view BadReplyByteCount =
    "\xB7\xB5\xBB\xD8\xB0\xFC\xB5\xC4\xD7\xD6\xBD\xDA\xB8\xF6\xCA\xFD\xB2\xBB\xD5\xFD\xC8\xB7";
// 返回包的帧不对应
inline constexpr std::string_view BadReplyBlock =
    "\xB7\xB5\xBB\xD8\xB0\xFC\xB5\xC4\xD6\xA1\xB2\xBB\xB6\xD4\xD3\xA6";

// What the user is told when a live run (or the command-line poll) cannot start.
inline constexpr std::string_view SerialInitFailed = "Serial initialization failed!";
// printf pattern with the instrument address; the comma is the full-width "，".
inline constexpr const char* InstrumentNoResponseFormat =
    "Instrument no response\xA3\xAC" "Instrument address:%d";

// clang-format on

} // namespace DeviceText
