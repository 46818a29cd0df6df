#pragma once
// File names in UTF-8, whatever the platform's own form: paths are held and
// printed as UTF-8 text and turned into the platform's form only to reach
// the file system. On Linux both ways keep the bytes as they are (a name
// need not be valid UTF-8 there); on Windows they convert from and to UTF-16.

#include <filesystem>
#include <string>
#include <string_view>

namespace clipdeck::service {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// A name fit to show: ill-formed UTF-8 replaced by U+FFFD.
std::string ShownName(std::string_view bytes);

}  // namespace clipdeck::service
