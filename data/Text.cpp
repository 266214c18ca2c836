#include "data/Text.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

size_t Utf8SequenceLength(unsigned char lead);

// fromUtf8: an unconvertible input character is a whole UTF-8 sequence, else one byte.
std::string Convert(std::string_view in, const char* to, const char* from, std::string_view bad,
                    bool fromUtf8) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        out.assign(in);
        return out;
    }
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[512];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: replace the offending input and go on.
            out.append(bad);
            const size_t width =
                fromUtf8 ? Utf8SequenceLength(static_cast<unsigned char>(*src)) : 1;
            const size_t skip = std::min(srcLeft, width);
            src += skip;
            srcLeft -= skip;
        }
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv_close(cd);
    return out;
}

size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 1;
}

} // namespace

std::string GbkToUtf8(std::string_view gbk) {
    bool ascii = true;
    for (unsigned char c : gbk)
        ascii = ascii && c < 0x80;
    if (ascii)
        return std::string(gbk);
    return Convert(gbk, "UTF-8", "GBK", "\xEF\xBF\xBD", false);
}

std::string Utf8ToGbk(std::string_view utf8) {
    bool ascii = true;
    for (unsigned char c : utf8)
        ascii = ascii && c < 0x80;
    if (ascii)
        return std::string(utf8);
    return Convert(utf8, "GBK", "UTF-8", "?", true);
}
