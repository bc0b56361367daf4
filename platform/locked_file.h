#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::platform {

// One open file under an exclusive lock, for files that several processes append to (the
// record file, the spool). The lock keeps other lockers out and never a reader; it goes with
// the object, or with the process however that ends. A call that fails returns false (an
// opening: an object that is not open) and leaves the system's reason in Problem().
class LockedFile {
public:
    enum class Wait { No, Yes };

    // Opens `file` for appending; a missing file is made with `mode` (POSIX permissions;
    // Windows gives the folder's).
    static LockedFile ForAppend(const std::filesystem::path& file, std::filesystem::perms mode);
    // ForAppend, then the lock (waiting for the holder); when the name was given to another
    // file meanwhile (renamed away by a replay, removed by a writer that could not complete
    // the file's first append), opens what the name gives now. An object that is not open
    // says why in Problem().
    static LockedFile ForAppendLocked(const std::filesystem::path& file,
                                      std::filesystem::perms mode);
    // Opens an existing `file` for reading; another process may rename it away meanwhile.
    static LockedFile ForReading(const std::filesystem::path& file);

    bool IsOpen() const { return handle_ != nullptr; }
    // Takes the lock: waits for the holder with Wait::Yes, fails at once with Wait::No.
    bool Lock(Wait wait);
    // True while `file` names the very file this object holds (false once it was renamed).
    bool IsNamedBy(const std::filesystem::path& file);
    // The file's size in bytes, or -1.
    std::int64_t Size();
    // Appends all of `text` with one write at the file's end, or nothing: a write that cannot
    // be completed (a full disk) is cut back to where the file ended, so a later append never
    // joins a fragment. Call it holding the lock.
    bool Append(std::string_view text);
    // Flushes what was written to the disk.
    bool Flush();

    const std::string& Problem() const { return problem_; }

private:
    struct Handle;  // the platform's open file
    // Closes the platform's open file. Declared here and defined beside Handle, so that
    // moving and destroying a LockedFile need nothing of the platform.
    struct HandleCloser {
        void operator()(Handle* handle) const;
    };
    LockedFile() = default;
    bool Fail();  // records the system's reason; returns false
    bool CutBackTo(std::int64_t size);

    // What an opening call gave: the file, or no file and the system's reason.
    template <typename Native>
    static LockedFile Opened(Native native) {
        LockedFile opened;
        auto handle = std::make_unique<Handle>(native);
        if (handle->Valid()) {
            opened.handle_.reset(handle.release());
        } else {
            opened.Fail();
        }
        return opened;
    }

    std::unique_ptr<Handle, HandleCloser> handle_;
    std::string problem_;
};

}  // namespace quillon::platform
