#include "keyboard/swipe_check.h"

#include <algorithm>

#include "model/template_record.h"

namespace {

// One character the host should receive, and the sent byte whose key gave it.
struct Expected {
    std::string text;
    int byte;
};

std::string Shown(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ShownText(std::string(1, c)) : std::string(1, c);
    return out;
}

}  // namespace

std::vector<ArrivedKey> ArrivedText(const std::string& text)
{
    std::vector<ArrivedKey> keys;
    for (char c : text) {
        // A UTF-8 continuation byte belongs to the character before it.
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80 && !keys.empty())
            keys.back().text += c;
        else
            keys.push_back({std::string(1, c), 0});
    }
    return keys;
}

std::string SwipeDifference::Text() const
{
    return (arrived.empty() ? std::string("nothing") : "'" + Shown(arrived) + "'") + " where the reader sent " +
           (sent.empty() ? std::string("nothing") : "'" + sent + "'") + ": " + reason;
}

SwipeCheck CheckSwipe(const std::vector<ArrivedKey>& arrived, const std::vector<std::uint8_t>& sent,
                      const HostLayout& layout, bool capsLock)
{
    SwipeCheck check;
    const std::vector<KeyAnswer> keys = TypeKeys(layout, sent, capsLock);
    const std::vector<KeyAnswer> otherCaps = TypeKeys(layout, sent, !capsLock);
    std::vector<Expected> expected;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        check.expected += keys[i].text;
        for (const ArrivedKey& c : ArrivedText(keys[i].text))
            expected.push_back({c.text, static_cast<int>(i)});
    }

    // The fewest keys added, lost or changed that turn what was expected into what arrived.
    const std::size_t n = arrived.size(), m = expected.size();
    std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1, 0));
    for (std::size_t i = 0; i <= n; ++i)
        for (std::size_t j = 0; j <= m; ++j)
            cost[i][j] = i == 0   ? static_cast<int>(j)
                         : j == 0 ? static_cast<int>(i)
                                  : std::min({cost[i - 1][j] + 1, cost[i][j - 1] + 1,
                                              cost[i - 1][j - 1] + (arrived[i - 1].text == expected[j - 1].text ? 0 : 1)});

    const auto sentText = [&](int byte) {
        std::string bytes(1, static_cast<char>(sent[static_cast<std::size_t>(byte)]));
        if (!keys[static_cast<std::size_t>(byte)].composedAfter.empty() && byte > 0)
            bytes.insert(bytes.begin(), static_cast<char>(sent[static_cast<std::size_t>(byte) - 1]));
        return ShownText(bytes);
    };
    const auto layoutReason = [&](int byte) {
        const KeyAnswer& k = keys[static_cast<std::size_t>(byte)];
        if (k.text.size() == 1 && !ControlKeyRisk(k.text[0]).empty())
            return ControlKeyRisk(k.text[0]);
        return "layout " + layout.Name() + (k.composedAfter.empty() ? "" : ", after " + k.composedAfter);
    };
    std::vector<SwipeDifference> found;
    std::vector<int> foundByte;  // the sent byte each difference belongs to, for the order
    int lastByte = -1;
    // Walking back from the end, a key counts as lost before an arrived one is matched further on:
    // what arrived is read as early in the expected text as it can be (a swipe cut short loses its end).
    for (std::size_t i = n, j = m; i > 0 || j > 0;) {
        const int byte = j > 0 ? expected[j - 1].byte : -1;
        const auto at = static_cast<std::size_t>(byte);
        if (j > 0 && (i == 0 || cost[i][j] == cost[i][j - 1] + 1)) {
            found.push_back({-1, "", sentText(byte),
                             "layout " + layout.Name() + " gives '" + Shown(expected[j - 1].text) + "'", false});
            foundByte.push_back(byte);
            --j;
        } else if (j > 0 && arrived[i - 1].text == expected[j - 1].text && cost[i][j] == cost[i - 1][j - 1]) {
            // Reported once for a key that gives several characters.
            if (byte != lastByte && !ArrivesUnchanged(sent[at], keys[at])) {
                found.push_back({static_cast<int>(i - 1), arrived[i - 1].text, sentText(byte), layoutReason(byte), true});
                foundByte.push_back(byte);
            }
            lastByte = byte;
            --i, --j;
        } else if (j > 0 && cost[i][j] == cost[i - 1][j - 1] + 1) {
            const bool caps = otherCaps[at].text == arrived[i - 1].text;
            found.push_back({static_cast<int>(i - 1), arrived[i - 1].text, sentText(byte),
                             caps ? std::string("Caps Lock ") + (capsLock ? "off" : "on")
                                  : "layout " + layout.Name() + " gives '" + Shown(expected[j - 1].text) + "'",
                             caps});
            foundByte.push_back(byte);
            --i, --j;
        } else {
            found.push_back({static_cast<int>(i - 1), arrived[i - 1].text, "", "not sent", false});
            foundByte.push_back(byte);
            --i;
        }
    }
    // Keys the layout turns into nothing are lost as expected, but lost all the same.
    for (std::size_t b = 0; b < keys.size(); ++b) {
        const KeyAnswer& k = keys[b];
        const bool pendingDead = k.Dead() && (b + 1 == keys.size() || keys[b + 1].composedAfter.empty());
        if (!k.text.empty() || (k.Dead() && !pendingDead))
            continue;
        const int byte = static_cast<int>(b);
        found.push_back({-1, "", sentText(byte),
                         k.Dead()                     ? "layout " + layout.Name() + ", dead key waiting for the next"
                         : !k.composedAfter.empty()   ? layoutReason(byte)
                                                      : std::string("no key types it"),
                         true});
        foundByte.push_back(byte);
    }
    std::vector<std::size_t> order(found.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = order.size() - 1 - k;  // the walk went backwards
    std::stable_sort(order.begin(), order.end(), [&foundByte](std::size_t a, std::size_t b) {
        return foundByte[a] < foundByte[b];
    });
    for (std::size_t k : order)
        check.differences.push_back(found[k]);
    check.matches = std::all_of(found.begin(), found.end(), [](const SwipeDifference& d) { return d.explained; }) &&
                    std::none_of(found.begin(), found.end(), [](const SwipeDifference& d) { return d.reason.rfind("Caps Lock", 0) == 0; });
    for (std::size_t i = 1; i < arrived.size(); ++i) {
        const long long gap = arrived[i].atMs - arrived[i - 1].atMs;
        check.shortestGapMs = i == 1 ? gap : std::min(check.shortestGapMs, gap);
        check.longestGapMs = std::max(check.longestGapMs, gap);
    }
    return check;
}

std::optional<std::uint8_t> ReaderKeys::Feed(int keycode, int value)
{
    constexpr int leftShift = 42, rightShift = 54, leftCtrl = 29, rightCtrl = 97;
    const bool down = value != 0;
    switch (keycode) {
    case leftShift: m_shift[0] = down; return std::nullopt;
    case rightShift: m_shift[1] = down; return std::nullopt;
    case leftCtrl: m_ctrl[0] = down; return std::nullopt;
    case rightCtrl: m_ctrl[1] = down; return std::nullopt;
    default: break;
    }
    if (value != 1)
        return std::nullopt;
    const bool shift = m_shift[0] || m_shift[1], ctrl = m_ctrl[0] || m_ctrl[1];
    for (int b = 0x01; b <= 0x7E; ++b) {
        const KeyStroke s = StrokeOf(static_cast<std::uint8_t>(b));
        // A space is the same with Shift; Ctrl's keys are read with or without it.
        if (s.keycode == keycode && s.ctrl == ctrl && (s.shift == shift || (ctrl && !s.shift) || b == ' '))
            return static_cast<std::uint8_t>(b);
    }
    return std::nullopt;
}
