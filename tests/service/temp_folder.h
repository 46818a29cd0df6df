#pragma once
// A folder of a test's own under the system's temporary folder, removed
// with everything in it when the test is done.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace clipdeck::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "clipdeck-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
        else ADD_FAILURE() << "cannot make a temporary folder";
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Copies `from` to `to` (within the folder), written `age` ago: a minute
    // ago by default, as if it had been there for a while.
    void Put(const std::filesystem::path& from, const std::filesystem::path& to,
             std::chrono::seconds age = std::chrono::seconds(60)) const {
        std::filesystem::copy_file(from, path_ / to, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::last_write_time(path_ / to, std::filesystem::file_time_type::clock::now() - age);
    }

private:
    std::filesystem::path path_;
};

}  // namespace clipdeck::test
