#pragma once
// One media folder as the service follows it: which of its files are
// videos, which are still being written, which cannot be read and why.
// Used by one thread at a time (the library's scanner).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue.h"
#include "folder_listing.h"
#include "media.h"

namespace clipdeck::service {

using SteadyTime = std::chrono::steady_clock::time_point;

// A file is read once it has stood still (same size and modification time)
// this long: at first sight when it was last written that long ago, else
// once listings that far apart have seen it unchanged. A file being copied
// in is not served half-written.
inline constexpr std::chrono::milliseconds kSettleTime{1000};

// Between whole listings, a folder whose list of names has not changed is not
// listed again: only its files still waiting are looked at. A file rewritten
// in place (its name kept) is seen at the next whole listing. Whole listings
// come a hundred times their cost apart, within these bounds: every half
// second for a few hundred files, every few seconds for tens of thousands,
// about 1 % of a core either way.
inline constexpr std::chrono::milliseconds kWholeListingsApart[2] = {std::chrono::milliseconds(500),
                                                                    std::chrono::milliseconds(10'000)};

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
    // Unless `whole`, a folder whose names have not changed since the last
    // whole listing (less than kWholeListingsApart ago) is not listed again.
    Listing List(SteadyTime now, FileTime fileNow, bool whole = true);

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
        FileTime written = 0;
        SteadyTime sameSince{};
        std::uint32_t listed = 0;  // the listing that last saw it
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
    std::uint32_t listing_ = 0;
    std::optional<FileTime> namesWritten_;  // the folder's, at the last whole listing
    SteadyTime wholeListed_{};
    std::chrono::steady_clock::duration wholeApart_ = kWholeListingsApart[0];
    // By name, bytes compared: the order that also decides between two files
    // for one level.
    std::map<std::string, Entry, std::less<>> files_;
};

// "YYYY-MM-DD" (UTC) of a modification time; "1970-01-01" for anything earlier.
std::string DateOfFileTime(FileTime written);

}  // namespace clipdeck::service
