// The settings lock on Windows, where the settings are a registry key and no file lies
// beside them: a named mutex per key in the user's session. The system releases it when the
// holder ends, however it ends (an abandoned mutex is taken over).
#include <windows.h>

#include "config/settings_lock.h"
#include "platform/system_error_text.h"
#include "platform/unique_handle.h"

namespace quillon {

namespace {

// CreateMutexW's handles: null holds nothing.
struct MutexTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE mutex) { ::CloseHandle(mutex); }
};
using Mutex = platform::UniqueHandle<MutexTraits>;

// A mutex this process has taken: released, then closed.
struct HeldMutexTraits : MutexTraits {
    static void Close(HANDLE mutex) {
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }
};

}  // namespace

struct SettingsLock::Handle : platform::UniqueHandle<HeldMutexTraits> {
    using UniqueHandle::UniqueHandle;
};

SettingsLock::SettingsLock() = default;
SettingsLock::SettingsLock(SettingsLock&&) noexcept = default;
SettingsLock& SettingsLock::operator=(SettingsLock&&) noexcept = default;
SettingsLock::~SettingsLock() = default;

SettingsLock SettingsLock::Acquire(const std::filesystem::path& settingsFile, LockWait wait,
                                   const std::function<void(long holderPid)>& waiting) {
    SettingsLock result;
    if (settingsFile.empty()) {
        return result;
    }
    // Mutex names may not hold backslashes.
    std::wstring name = L"Local\\Quillon-settings-" + settingsFile.wstring();
    for (std::size_t i = 15; i < name.size(); ++i) {
        if (name[i] == L'\\') {
            name[i] = L'/';
        }
    }
    Mutex mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex.Valid()) {
        result.problem_ = "the settings lock cannot be made (" +
                          platform::SystemErrorText(::GetLastError()) + ")";
        return result;
    }
    DWORD state = ::WaitForSingleObject(mutex.Get(), 0);
    if (state == WAIT_TIMEOUT) {
        if (wait == LockWait::No) {
            throw SettingsFileBusy(settingsFile, 0);
        }
        if (waiting) {
            waiting(0);
        }
        state = ::WaitForSingleObject(mutex.Get(), INFINITE);
    }
    if (state != WAIT_OBJECT_0 && state != WAIT_ABANDONED) {
        result.problem_ = "the settings lock cannot be taken";
        return result;
    }
    result.handle_ = std::make_unique<Handle>(mutex.Release());
    return result;
}

}  // namespace quillon
