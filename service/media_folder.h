#pragma once
// One media folder as the service follows it: which of its files are
// videos, which are still being written, which cannot be read and why.
// Used by one thread at a time (the library's scanner).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "catalogue.h"
#include "media.h"

namespace clipdeck::service {

using FileTime = std::filesystem::file_time_type;
using SteadyTime = std::chrono::steady_clock::time_point;

// A file is read once it has stood still (same size and modification time)
// this long: at first sight when it was last written that long ago, else
// once listings that far apart have seen it unchanged. A file being copied
// in is not served half-written.
inline constexpr std::chrono::milliseconds kSettleTime{1000};

struct SkippedFile {
    std::string file;    // the folder's path and the file's name, as shown
    std::string reason;
};

class MediaFolder {
public:
    // `dir` in UTF-8; `index` is the folder's place among the served folders.
    MediaFolder(std::string dir, int index);

    const std::string& Dir() const { return dir_; }
    int Index() const { return index_; }

    struct Listing {
        std::vector<std::string> due;  // file names ready to be read, in name order
        bool withdrawn = false;        // a served file went or changed since the last listing
        std::string error;             // set when the folder cannot be listed
    };
    // Lists the folder. A file that went or changed since the last listing
    // is no longer served; a new or changed file waits until it is still.
    Listing List(SteadyTime now, FileTime fileNow);

    // Reads a due file (ProbeMedia): it is then served, or skipped with a
    // reason, which is returned ("" when served). Nothing for a name that is
    // not due.
    std::string Read(const std::string& name);

    // The videos of the files read, grouped by GroupKeyForFile, with a
    // warning for each file left out (a second file for one level). A video
    // of one file that has not changed is the same object as last time.
    std::vector<Catalogue::Shared> Videos(std::vector<std::string>& warnings);

    std::vector<SkippedFile> Skipped() const;
    // Files seen but neither served nor skipped yet.
    std::size_t Waiting() const;
    std::size_t Files() const { return files_.size(); }

private:
    enum class State : std::uint8_t { Waiting, Due, Ready, Skipped };
    // Kept small: a folder may hold tens of thousands of files.
    struct Entry {
        std::uint64_t size = 0;
        FileTime written{};
        SteadyTime sameSince{};
        State state = State::Waiting;
        bool fresh = true;  // changed since the videos were last made
        int height = 0;     // when Ready, from the probe
        double seconds = 0;
        // The probe's texts when Ready (title, artist, problem), or the
        // reason when Skipped; none for most files.
        std::unique_ptr<MediaProbe> texts;
        // The video made of this file alone, kept while the file is unchanged.
        Catalogue::Shared video;
    };

    std::string dir_;
    std::filesystem::path path_;
    int index_;
    // By name, bytes compared: the order that also decides between two files
    // for one level.
    std::map<std::string, Entry> files_;
};

// "YYYY-MM-DD" (UTC) of a modification time; "1970-01-01" for anything earlier.
std::string DateOfFileTime(FileTime written);

}  // namespace clipdeck::service
