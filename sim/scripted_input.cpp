#include "sim/scripted_input.h"

#include "sim/key_words.h"

#include <cerrno>
#include <cstdlib>

namespace lbw::sim {

namespace {

// Repetition counts are bounded so that a typo cannot ask for billions of frames.
constexpr uint64_t kMaxRepeat = 1000000;

// A decimal count in [1, kMaxRepeat], the whole of `text`.
std::optional<uint64_t> parse_count(const std::string &text) {
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value == 0 || value > kMaxRepeat)
        return std::nullopt;
    return value;
}

// Splits "body*N" into body and N (1 without a star); false on a bad count.
bool split_repeat(const std::string &text, std::string &body, uint64_t &count) {
    size_t star = text.rfind('*');
    body = text.substr(0, star);
    count = 1;
    if (star == std::string::npos)
        return true;
    auto parsed = parse_count(text.substr(star + 1));
    if (!parsed)
        return false;
    count = *parsed;
    return true;
}

std::optional<int32_t> parse_coordinate(const std::string &text) {
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (size_t j = i; j < text.size(); j++)
        if (text[j] < '0' || text[j] > '9')
            return std::nullopt;
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

std::optional<PointerEvent> parse_event(const std::string &text) {
    PointerEvent event;
    if (text == "-") {
        event.report = false;
        return event;
    }
    size_t comma = text.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    size_t colon = text.find(':', comma);
    auto x = parse_coordinate(text.substr(0, comma));
    auto y = parse_coordinate(text.substr(comma + 1, colon == std::string::npos ? std::string::npos : colon - comma - 1));
    if (!x || !y)
        return std::nullopt;
    event.x = *x;
    event.y = *y;
    if (colon != std::string::npos) {
        std::string buttons = text.substr(colon + 1);
        if (buttons.empty())
            return std::nullopt;
        for (char b : buttons) {
            if (b < '0' || b > '2')
                return std::nullopt;
            event.buttons |= 1u << (b - '0');
        }
    }
    return event;
}

} // namespace

std::optional<std::deque<uint32_t>> parse_keys(const std::string &script, std::string &error) {
    std::deque<uint32_t> words;
    for (size_t i = 0; i < script.size(); i++) {
        if (script[i] != '<') {
            words.push_back(key_word_for_character(static_cast<unsigned char>(script[i])));
            continue;
        }
        size_t close = script.find('>', i);
        if (close == std::string::npos) {
            error = "'<' without '>' (type '<' as <lt>)";
            return std::nullopt;
        }
        std::string name;
        uint64_t count;
        if (!split_repeat(script.substr(i + 1, close - i - 1), name, count)) {
            error = "bad count in '" + script.substr(i, close - i + 1) + "'";
            return std::nullopt;
        }
        uint32_t word;
        if (name == "wait") {
            word = 0;
        } else if (name == "lt") {
            word = key_word_for_character('<');
        } else if (auto named = key_word_for_name(name)) {
            word = *named;
        } else {
            error = "no key named '" + name + "'";
            return std::nullopt;
        }
        if (words.size() + count > kMaxRepeat) {
            error = "more than a million keys";
            return std::nullopt;
        }
        words.insert(words.end(), count, word);
        i = close;
    }
    return words;
}

std::optional<std::deque<PointerEvent>> parse_pointer(const std::string &script, std::string &error) {
    std::deque<PointerEvent> events;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find(' ', start);
        if (end == std::string::npos)
            end = script.size();
        std::string token = script.substr(start, end - start);
        start = end + 1;
        if (token.empty())
            continue;
        std::string body;
        uint64_t count;
        std::optional<PointerEvent> event;
        if (split_repeat(token, body, count))
            event = parse_event(body);
        if (!event) {
            error = "'" + token + "' is no pointer event (X,Y or X,Y:BUTTONS or -, each may end in *N)";
            return std::nullopt;
        }
        if (events.size() + count > kMaxRepeat) {
            error = "more than a million pointer events";
            return std::nullopt;
        }
        events.insert(events.end(), count, *event);
    }
    return events;
}

} // namespace lbw::sim
