#pragma once
// The external-call XML spoken across the control boundary: the requests the
// program sends to CallFunction, the replies the player returns, and the
// calls the movie makes to its host through FlashCall. No Windows header.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace playerctl {

struct Value {
    enum class Kind { Undefined, Null, Boolean, Number, String, Array };

    Kind kind = Kind::Undefined;
    bool boolean = false;
    double number = 0;
    std::wstring text;
    std::vector<Value> items;  // Array, in document order

    static Value Undefined() { return {}; }
    static Value Null();
    static Value Bool(bool b);
    static Value Number(double n);
    static Value String(std::wstring s);
    static Value Array(std::vector<Value> items);

    bool operator==(const Value&) const = default;
};

struct InvokeRequest {
    std::wstring name;
    std::optional<std::wstring> returnType;
    std::vector<Value> arguments;
};

// Parses one <invoke> element. Single or double quoted attributes, white
// space between tags, entities and CDATA in text are accepted; anything else
// that is not well-formed (or an element we do not know) gives nullopt.
std::optional<InvokeRequest> ParseInvoke(std::wstring_view text);

// A number as the movie's script language prints it: 75, 12.5, -12, NaN,
// Infinity, 1e+21, 1e-7.
std::wstring FormatNumber(double n);

// One reply value, with no white space between nodes.
std::wstring SerializeValue(const Value& value);

// A call from the movie to its host:
// <invoke name="f" returntype="xml"><arguments>...</arguments></invoke>
std::wstring SerializeInvoke(std::wstring_view name, const std::vector<Value>& arguments);

}  // namespace playerctl
