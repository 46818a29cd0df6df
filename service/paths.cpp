#include "paths.h"

#include "common/utf8.h"

namespace clipdeck::service {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ShownName(std::string_view bytes) {
    if (common::IsValidUtf8(bytes)) return std::string(bytes);
    return common::Utf16ToUtf8(common::Utf8ToUtf16(bytes));
}

}  // namespace clipdeck::service
