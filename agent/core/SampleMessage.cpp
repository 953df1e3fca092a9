// Helper-to-service message layout: "VCS2", idle (u32 LE), interval (u32 LE),
// flags (u16 LE), title length in UTF-16 units (u16 LE), then the title as UTF-16 LE.
#include "agent/core/SampleMessage.h"

namespace vcagent {

namespace {
constexpr char kMagic[4] = {'V', 'C', 'S', '2'};

void put16(std::vector<unsigned char>& out, std::uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

std::uint32_t get16(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}
} // namespace

std::vector<unsigned char> SampleMessage::encode() const {
    std::vector<unsigned char> out(kMagic, kMagic + 4);
    put16(out, idleMillis & 0xFFFF);
    put16(out, idleMillis >> 16);
    put16(out, intervalMillis & 0xFFFF);
    put16(out, intervalMillis >> 16);
    put16(out, noInput ? 1U : 0U);
    const std::size_t units = title.size() < kMaxTitleUnits ? title.size() : kMaxTitleUnits;
    put16(out, static_cast<std::uint32_t>(units));
    for (std::size_t i = 0; i < units; ++i)
        put16(out, title[i]);
    return out;
}

std::optional<SampleMessage> SampleMessage::decode(std::string_view bytes) {
    if (bytes.size() < kHeaderBytes || bytes.size() > kMaxBytes ||
        bytes.substr(0, 4) != std::string_view(kMagic, 4))
        return std::nullopt;
    SampleMessage message;
    message.idleMillis = get16(bytes, 4) | get16(bytes, 6) << 16;
    message.intervalMillis = get16(bytes, 8) | get16(bytes, 10) << 16;
    const std::uint32_t flags = get16(bytes, 12);
    if (flags > 1)
        return std::nullopt;
    message.noInput = flags == 1;
    const std::size_t units = get16(bytes, 14);
    if (units > kMaxTitleUnits || bytes.size() != kHeaderBytes + 2 * units)
        return std::nullopt;
    message.title.resize(units);
    for (std::size_t i = 0; i < units; ++i)
        message.title[i] = static_cast<char16_t>(get16(bytes, kHeaderBytes + 2 * i));
    return message;
}

} // namespace vcagent
