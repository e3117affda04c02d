#pragma once
// A small JSON reader for the reader scripts' output (objects, arrays, strings, numbers,
// booleans, null). Not a general-purpose library: it trusts its input to be well-formed JSON
// and throws std::runtime_error where it is not.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zentra::readers {

class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    static JsonValue parse(const std::string& text);

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool asBool() const { return bool_; }
    double asNumber() const { return number_; }
    const std::string& asString() const { return string_; }
    const std::vector<JsonValue>& asArray() const { return array_; }
    const std::map<std::string, JsonValue>& asObject() const { return object_; }

    // Member lookup; a null value when absent or when this is not an object.
    const JsonValue& operator[](const std::string& key) const;
    // Text of a string, number or boolean member; nothing for null or absent members.
    std::optional<std::string> text() const;

private:
    friend class JsonParser;
    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<JsonValue> array_;
    std::map<std::string, JsonValue> object_;
};

}  // namespace zentra::readers
