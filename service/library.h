#pragma once
// Every video the service serves: the catalogue's, and those of the media
// folders, which a thread of the library's own keeps reading behind the
// requests. Requests see a snapshot that never changes under them; each
// change of the folders makes a new one.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "catalogue.h"
#include "media_folder.h"

namespace clipdeck::service {

struct FolderState {
    std::string dir;          // as given, shown
    std::string path;         // as given, to reach its files
    std::size_t videos = 0;   // served from it
    std::size_t waiting = 0;  // files seen but not read yet
    std::string error;        // set while the folder cannot be listed
};

// What a request is answered from.
struct LibrarySnapshot {
    Catalogue catalogue;                // the catalogue's videos, then the folders'
    std::vector<FolderState> folders;   // in the order given
    std::vector<SkippedFile> skipped;   // files of the folders that are not served
    bool scanned = false;               // every folder has been read through once

    // Where a video's file is (UTF-8): a folder's file is named within its folder.
    std::string FileOf(const Video& video, const MediaFile& file) const;
};

class Library {
public:
    // Lines for the log (one call per line); called on the library's threads.
    using Print = std::function<void(const std::string& line)>;

    // `catalogue`: the catalogue's videos, served from the start. `folders`
    // in UTF-8. `out` gets "media ID LEVELS SECONDS TITLE" for each video
    // that comes or changes, "removed ID" for each that goes, and once
    // "scanned N videos in F folders, S files skipped"; `warn` gets each file
    // skipped and why, once per change of the file.
    Library(Catalogue catalogue, std::vector<std::string> folders, Print out, Print warn);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Starts reading the folders on a thread of its own, then again every
    // `interval`, until the library is destroyed.
    void Start(std::chrono::milliseconds interval = std::chrono::milliseconds(500));

    std::shared_ptr<const LibrarySnapshot> Snapshot() const;

    // For a request that names a video the snapshot does not hold yet: when
    // one of the folders' files that are still and unread belongs to it,
    // has it read next and waits until it is (at most `limit`). When none
    // does, has the folders listed again at once and looks once more. Also
    // waits for the folders' first listing.
    void AwaitVideo(std::string_view id, std::chrono::milliseconds limit);

    // Waits, at most `limit`, until every folder has been read through once.
    void AwaitScanned(std::chrono::milliseconds limit);

    // One pass over the folders, on the caller's thread (what the thread
    // does each interval). For tests; not while the thread runs.
    void ScanOnce();

private:
    void Run(std::chrono::milliseconds interval);
    void Pass();
    // Makes and hands out a new snapshot; `read`: IDs whose files were read
    // since the last one; `scanned`: the folders have now been read through.
    void Publish(const std::vector<std::string>& read, bool scanned);

    const Catalogue fixed_;
    std::vector<MediaFolder> folders_;  // the scanner's alone
    std::vector<std::string> folderErrors_;
    const Print out_, warn_;

    // What was published, to tell what changed: (ID, a hash of its line and
    // files), in ID order.
    using Published = std::vector<std::pair<std::string, std::uint64_t>>;
    Published published_;
    bool scanned_ = false;
    std::set<std::string> warned_;  // warnings in force, printed once

    mutable std::mutex mutex_;
    std::condition_variable changed_;  // a snapshot published, a listing done, a stop
    std::shared_ptr<const LibrarySnapshot> snapshot_;
    std::map<std::string, std::size_t, std::less<>> dueIds_;  // ID -> due files not read yet
    std::set<std::string, std::less<>> wanted_;                // IDs a request waits for
    bool listed_ = false;  // the first listing of every folder is done
    // Listings begun and done, and whether a request wants the folders listed
    // whole at once (a video asked for that no listing has seen yet).
    std::uint64_t listingsStarted_ = 0, listingsDone_ = 0;
    bool wholeWanted_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace clipdeck::service
