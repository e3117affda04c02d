#include "json_value.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "pstcheck/text.h"

namespace zentra::readers {

class JsonParser {
public:
    explicit JsonParser(const std::string& s) : s_(s) {}

    JsonValue document() {
        JsonValue v = value();
        ws();
        if (pos_ != s_.size()) fail("trailing characters");
        return v;
    }

private:
    [[noreturn]] void fail(const char* what) {
        throw std::runtime_error(std::string("JSON: ") + what + " at offset " + std::to_string(pos_));
    }
    void ws() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
    }
    bool eat(char c) {
        ws();
        if (pos_ < s_.size() && s_[pos_] == c) { ++pos_; return true; }
        return false;
    }
    void expect(char c) { if (!eat(c)) fail("unexpected character"); }
    bool word(const char* w) {
        size_t n = std::char_traits<char>::length(w);
        if (s_.compare(pos_, n, w) == 0) { pos_ += n; return true; }
        return false;
    }

    JsonValue value() {
        ws();
        if (pos_ >= s_.size()) fail("unexpected end");
        JsonValue v;
        char c = s_[pos_];
        if (c == '{') {
            ++pos_;
            v.type_ = JsonValue::Type::Object;
            if (eat('}')) return v;
            do {
                ws();
                std::string key = string();
                expect(':');
                v.object_[key] = value();
            } while (eat(','));
            expect('}');
        } else if (c == '[') {
            ++pos_;
            v.type_ = JsonValue::Type::Array;
            if (eat(']')) return v;
            do v.array_.push_back(value()); while (eat(','));
            expect(']');
        } else if (c == '"') {
            v.type_ = JsonValue::Type::String;
            v.string_ = string();
        } else if (word("true")) {
            v.type_ = JsonValue::Type::Bool; v.bool_ = true;
        } else if (word("false")) {
            v.type_ = JsonValue::Type::Bool;
        } else if (word("null")) {
        } else {
            char* end = nullptr;
            v.number_ = std::strtod(s_.c_str() + pos_, &end);
            if (end == s_.c_str() + pos_) fail("bad value");
            pos_ = static_cast<size_t>(end - s_.c_str());
            v.type_ = JsonValue::Type::Number;
        }
        return v;
    }

    uint32_t hex4() {
        if (pos_ + 4 > s_.size()) fail("short \\u escape");
        uint32_t v = static_cast<uint32_t>(std::strtoul(s_.substr(pos_, 4).c_str(), nullptr, 16));
        pos_ += 4;
        return v;
    }

    std::string string() {
        if (pos_ >= s_.size() || s_[pos_] != '"') fail("expected a string");
        ++pos_;
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c != '\\') { out += c; continue; }
            if (pos_ >= s_.size()) fail("bad escape");
            char e = s_[pos_++];
            switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    uint32_t c1 = hex4();
                    if (c1 >= 0xD800 && c1 < 0xDC00 && word("\\u")) {
                        uint32_t c2 = hex4();
                        c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                    }
                    pstcheck::appendUtf8(out, c1);
                    break;
                }
                default: out += e;
            }
        }
        if (pos_ >= s_.size()) fail("unterminated string");
        ++pos_;
        return out;
    }

    const std::string& s_;
    size_t pos_ = 0;
};

JsonValue JsonValue::parse(const std::string& text) { return JsonParser(text).document(); }

const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue null;
    auto it = object_.find(key);
    return it == object_.end() ? null : it->second;
}

std::optional<std::string> JsonValue::text() const {
    switch (type_) {
        case Type::String: return string_;
        case Type::Bool: return bool_ ? "true" : "false";
        case Type::Number: {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.15g", number_);
            return std::string(buf);
        }
        default: return std::nullopt;
    }
}

}  // namespace zentra::readers
