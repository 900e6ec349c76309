#include "platform/PercentEncoding.h"

namespace platform {

void AppendPercentEncoded(std::string& out, std::string_view text, KeepsByte keeps)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (keeps(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
}

std::string PercentEncode(std::string_view text, KeepsByte keeps)
{
    std::string out;
    out.reserve(text.size());
    AppendPercentEncoded(out, text, keeps);
    return out;
}

std::string EncodeRequestTarget(std::string_view object)
{
    return PercentEncode(object, [](unsigned char byte) {
        return byte > 0x20 && byte < 0x7F && byte != '"' && byte != '<' && byte != '>' && byte != '\\' &&
               byte != '^' && byte != '`' && byte != '{' && byte != '|' && byte != '}';
    });
}

}  // namespace platform
