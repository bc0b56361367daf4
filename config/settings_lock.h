#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillon {

// Another process holds the settings file. The message names the file and the holder.
class SettingsFileBusy : public std::runtime_error {
public:
    SettingsFileBusy(const std::filesystem::path& file, long holderPid);
    const std::filesystem::path& File() const { return file_; }
    long HolderPid() const { return holderPid_; }  // 0 when the system does not say

private:
    std::filesystem::path file_;
    long holderPid_;
};

enum class LockWait { No, Yes };

// A settings file belongs to one station at a time: every process that uses it (the window,
// the command line) holds this lock for its whole run, so two stations never read each
// other's LastFilePath or flash settings. The lock lives on a small file beside the settings
// ("settings.sqlite.lock", holding the holder's process id); the system drops it when the
// holder ends, however it ends, so a lock file left behind never blocks anyone.
// Each platform supplies the lock file's handle (settings_lock_posix.cpp).
class SettingsLock {
public:
    // Takes the lock of `settingsFile`. LockWait::No throws SettingsFileBusy at once when
    // another process holds it; LockWait::Yes calls `waiting` with the holder's process id
    // once and waits until the holder ends. When the lock file cannot be made (its folder
    // cannot be created or written), the lock holds nothing: the settings store then meets
    // the same problem and reports it.
    static SettingsLock Acquire(const std::filesystem::path& settingsFile, LockWait wait,
                                const std::function<void(long holderPid)>& waiting = {});

    SettingsLock();
    SettingsLock(SettingsLock&&) noexcept;
    SettingsLock& operator=(SettingsLock&&) noexcept;
    ~SettingsLock();

    bool Held() const { return handle_ != nullptr; }
    // Why nothing is held (empty while held, or when no file was given).
    const std::string& Problem() const { return problem_; }

    // "<settings file>.lock", beside the file the path leads to (symbolic links followed, so
    // two spellings of one file share one lock).
    static std::filesystem::path LockFileOf(const std::filesystem::path& settingsFile);

private:
    struct Handle;  // the platform's open lock file
    std::unique_ptr<Handle> handle_;
    std::string problem_;
};

}  // namespace quillon
