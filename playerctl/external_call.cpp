#include "external_call.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "common/utf8.h"
#include "common/xml_text.h"

namespace playerctl {

Value Value::Null() {
    Value v;
    v.kind = Kind::Null;
    return v;
}

Value Value::Bool(bool b) {
    Value v;
    v.kind = Kind::Boolean;
    v.boolean = b;
    return v;
}

Value Value::Number(double n) {
    Value v;
    v.kind = Kind::Number;
    v.number = n;
    return v;
}

Value Value::String(std::wstring s) {
    Value v;
    v.kind = Kind::String;
    v.text = std::move(s);
    return v;
}

Value Value::Array(std::vector<Value> items) {
    Value v;
    v.kind = Kind::Array;
    v.items = std::move(items);
    return v;
}

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsNameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'_' || c == L'-' || c == L'.' || c == L':';
}

// Recursive descent over the small vocabulary of the external-call interface.
// Every method returns false on malformed input; the caller gives up.
class Parser {
public:
    explicit Parser(std::wstring_view text) : s_(text) {}

    std::optional<InvokeRequest> Invoke() {
        InvokeRequest request;
        SkipSpace();
        Tag tag;
        if (!StartTag(tag) || tag.name != L"invoke") return std::nullopt;
        bool hasName = false;
        for (auto& [key, value] : tag.attributes) {
            if (key == L"name") {
                request.name = value;
                hasName = true;
            } else if (key == L"returntype") {
                request.returnType = value;
            }
        }
        if (!hasName || request.name.empty()) return std::nullopt;
        if (!tag.selfClosing) {
            SkipSpace();
            if (LookingAt(L"<arguments")) {
                Tag args;
                if (!StartTag(args) || args.name != L"arguments") return std::nullopt;
                if (!args.selfClosing) {
                    if (!Values(request.arguments)) return std::nullopt;
                    if (!EndTag(L"arguments")) return std::nullopt;
                }
                SkipSpace();
            }
            if (!EndTag(L"invoke")) return std::nullopt;
        }
        SkipSpace();
        if (pos_ != s_.size()) return std::nullopt;
        return request;
    }

private:
    struct Tag {
        std::wstring name;
        std::vector<std::pair<std::wstring, std::wstring>> attributes;
        bool selfClosing = false;
    };

    static constexpr int kMaxDepth = 64;

    void SkipSpace() {
        while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
    }

    bool LookingAt(std::wstring_view what) const { return s_.substr(pos_, what.size()) == what; }

    bool Name(std::wstring& out) {
        size_t start = pos_;
        while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
        out.assign(s_.substr(start, pos_ - start));
        return !out.empty();
    }

    bool StartTag(Tag& tag) {
        if (pos_ >= s_.size() || s_[pos_] != L'<') return false;
        ++pos_;
        if (!Name(tag.name)) return false;
        for (;;) {
            size_t before = pos_;
            SkipSpace();
            if (pos_ >= s_.size()) return false;
            if (s_[pos_] == L'>') {
                ++pos_;
                return true;
            }
            if (LookingAt(L"/>")) {
                pos_ += 2;
                tag.selfClosing = true;
                return true;
            }
            if (pos_ == before) return false;  // attributes need white space before them
            std::wstring key;
            if (!Name(key)) return false;
            SkipSpace();
            if (pos_ >= s_.size() || s_[pos_] != L'=') return false;
            ++pos_;
            SkipSpace();
            if (pos_ >= s_.size() || (s_[pos_] != L'"' && s_[pos_] != L'\'')) return false;
            wchar_t quote = s_[pos_++];
            std::wstring value;
            if (!Text(value, quote)) return false;
            if (pos_ >= s_.size() || s_[pos_] != quote) return false;
            ++pos_;
            for (auto& attribute : tag.attributes) {
                if (attribute.first == key) return false;
            }
            tag.attributes.emplace_back(std::move(key), std::move(value));
        }
    }

    bool EndTag(std::wstring_view name) {
        if (!LookingAt(L"</")) return false;
        pos_ += 2;
        std::wstring found;
        if (!Name(found) || found != name) return false;
        SkipSpace();
        if (pos_ >= s_.size() || s_[pos_] != L'>') return false;
        ++pos_;
        return true;
    }

    // Character data up to `stop` (attribute quote) or up to the next tag.
    bool Text(std::wstring& out, wchar_t stop) {
        while (pos_ < s_.size()) {
            wchar_t c = s_[pos_];
            if (stop != 0 && c == stop) return true;
            if (c == L'<') {
                if (stop != 0) return false;
                if (!LookingAt(L"<![CDATA[")) return true;
                pos_ += 9;
                size_t end = s_.find(L"]]>", pos_);
                if (end == std::wstring_view::npos) return false;
                out.append(s_.substr(pos_, end - pos_));
                pos_ = end + 3;
                continue;
            }
            if (c == L'&') {
                if (!Entity(out)) return false;
                continue;
            }
            out.push_back(c);
            ++pos_;
        }
        return stop == 0;
    }

    // A reference that names no character, or an unknown name, makes the
    // request malformed.
    bool Entity(std::wstring& out) {
        const auto reference = common::ReadCharacterReference(s_.substr(pos_));
        if (!reference || !reference->valid) return false;
        common::AppendUtf16(out, reference->codePoint);
        pos_ += reference->length;
        return true;
    }

    bool Values(std::vector<Value>& out) {
        for (;;) {
            SkipSpace();
            if (LookingAt(L"</") || pos_ >= s_.size()) return true;
            Value v;
            if (!OneValue(v)) return false;
            out.push_back(std::move(v));
        }
    }

    bool OneValue(Value& v) {
        if (++depth_ > kMaxDepth) return false;
        Tag tag;
        if (!StartTag(tag) || !tag.attributes.empty()) return false;
        bool ok = true;
        if (tag.name == L"true" || tag.name == L"false") {
            v = Value::Bool(tag.name == L"true");
            ok = tag.selfClosing || EndTag(tag.name);
        } else if (tag.name == L"null" || tag.name == L"undefined") {
            v = tag.name == L"null" ? Value::Null() : Value::Undefined();
            ok = tag.selfClosing || EndTag(tag.name);
        } else if (tag.name == L"string") {
            v = Value::String(L"");
            ok = tag.selfClosing || (Text(v.text, 0) && EndTag(L"string"));
        } else if (tag.name == L"number") {
            std::wstring digits;
            ok = !tag.selfClosing && Text(digits, 0) && EndTag(L"number");
            std::optional<double> n = ok ? ParseNumber(digits) : std::nullopt;
            ok = n.has_value();
            if (ok) v = Value::Number(*n);
        } else if (tag.name == L"array") {
            v = Value::Array({});
            if (!tag.selfClosing) ok = Properties(v.items) && EndTag(L"array");
        } else {
            ok = false;
        }
        --depth_;
        return ok;
    }

    bool Properties(std::vector<Value>& items) {
        for (;;) {
            SkipSpace();
            if (LookingAt(L"</")) return true;
            Tag tag;
            if (!StartTag(tag) || tag.name != L"property" || tag.selfClosing) return false;
            if (tag.attributes.size() != 1 || tag.attributes[0].first != L"id") return false;
            SkipSpace();
            Value item;
            if (!OneValue(item)) return false;
            SkipSpace();
            if (!EndTag(L"property")) return false;
            items.push_back(std::move(item));
        }
    }

    static std::optional<double> ParseNumber(std::wstring_view text) {
        while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
        while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
        bool negative = false;
        if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
            negative = text[0] == L'-';
            text.remove_prefix(1);
        }
        if (text == L"NaN") return std::nan("");
        if (text == L"Infinity") return negative ? -HUGE_VAL : HUGE_VAL;
        std::string narrow;
        for (wchar_t c : text) {
            if (!((c >= L'0' && c <= L'9') || c == L'.' || c == L'e' || c == L'E' || c == L'+' ||
                  c == L'-'))
                return std::nullopt;
            narrow.push_back(static_cast<char>(c));
        }
        if (narrow.empty() || narrow[0] == '+' || narrow[0] == '-') return std::nullopt;
        double value = 0;
        auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
        if (end != narrow.data() + narrow.size()) return std::nullopt;
        // Out of double's range is refused like any other malformed number.
        if (ec != std::errc()) return std::nullopt;
        return negative ? -value : value;
    }

    std::wstring_view s_;
    size_t pos_ = 0;
    int depth_ = 0;
};

}  // namespace

std::optional<InvokeRequest> ParseInvoke(std::wstring_view text) {
    return Parser(text).Invoke();
}

std::wstring FormatNumber(double n) {
    if (std::isnan(n)) return L"NaN";
    if (std::isinf(n)) return n < 0 ? L"-Infinity" : L"Infinity";
    if (n == 0) return L"0";  // also -0
    std::wstring out;
    if (n < 0) {
        out.push_back(L'-');
        n = -n;
    }
    // Shortest round-trip digits, then laid out by the script language's rules.
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, n, std::chars_format::scientific);
    std::string sci(buf, result.ptr);
    size_t e = sci.find('e');
    std::string digits;
    for (size_t i = 0; i < e; ++i) {
        if (sci[i] != '.') digits.push_back(sci[i]);
    }
    int k = static_cast<int>(digits.size());
    int pointPos = std::atoi(sci.c_str() + e + 1) + 1;  // value = 0.digits * 10^pointPos
    std::string text;
    if (k <= pointPos && pointPos <= 21) {
        text = digits + std::string(pointPos - k, '0');
    } else if (0 < pointPos && pointPos <= 21) {
        text = digits.substr(0, pointPos) + "." + digits.substr(pointPos);
    } else if (-6 < pointPos && pointPos <= 0) {
        text = "0." + std::string(-pointPos, '0') + digits;
    } else {
        int exponent = pointPos - 1;
        text = digits.substr(0, 1);
        if (k > 1) text += "." + digits.substr(1);
        text += exponent < 0 ? "e-" : "e+";
        text += std::to_string(exponent < 0 ? -exponent : exponent);
    }
    out.append(text.begin(), text.end());
    return out;
}

namespace {

void AppendValue(std::wstring& out, const Value& value) {
    switch (value.kind) {
    case Value::Kind::Undefined: out += L"<undefined/>"; break;
    case Value::Kind::Null: out += L"<null/>"; break;
    case Value::Kind::Boolean: out += value.boolean ? L"<true/>" : L"<false/>"; break;
    case Value::Kind::Number:
        out += L"<number>";
        out += FormatNumber(value.number);
        out += L"</number>";
        break;
    case Value::Kind::String:
        out += L"<string>";
        out += common::EscapeXml(value.text);
        out += L"</string>";
        break;
    case Value::Kind::Array:
        out += L"<array>";
        for (size_t i = 0; i < value.items.size(); ++i) {
            out += L"<property id=\"";
            out += std::to_wstring(i);
            out += L"\">";
            AppendValue(out, value.items[i]);
            out += L"</property>";
        }
        out += L"</array>";
        break;
    }
}

}  // namespace

std::wstring SerializeValue(const Value& value) {
    std::wstring out;
    AppendValue(out, value);
    return out;
}

std::wstring SerializeInvoke(std::wstring_view name, const std::vector<Value>& arguments) {
    std::wstring out = L"<invoke name=\"";
    out += common::EscapeXml(name);
    out += L"\" returntype=\"xml\"><arguments>";
    for (const Value& v : arguments) AppendValue(out, v);
    out += L"</arguments></invoke>";
    return out;
}

}  // namespace playerctl
