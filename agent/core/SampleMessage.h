// The message a session helper sends the service once a second over its pipe.
// The service trusts nothing in it: sizes are checked and the title is cleaned
// like any outside text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vcagent {

struct SampleMessage {
    std::uint32_t idleMillis = 0;
    // The helper's own monotonic time since its previous sample: what the
    // service credits (never the spacing of arrivals, which a stall bunches).
    std::uint32_t intervalMillis = 1000;
    bool noInput = false; // the session's input desktop is not the user's (locked, UAC)
    std::u16string title; // raw foreground window title, empty when no window is in front

    // Longer titles are cut by the helper before sending; the store cuts further.
    static constexpr std::size_t kMaxTitleUnits = 2048;
    static constexpr std::size_t kHeaderBytes = 16;
    static constexpr std::size_t kMaxBytes = kHeaderBytes + 2 * kMaxTitleUnits;

    std::vector<unsigned char> encode() const;
    // Nothing for a message of the wrong size, kind or length.
    static std::optional<SampleMessage> decode(std::string_view bytes);
};

} // namespace vcagent
