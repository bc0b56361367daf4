#include <windows.h>

#include <stdexcept>
#include <string>

#include "config/atomic_file.h"
#include "platform/system_error_text.h"

namespace quillon {

namespace {

[[noreturn]] void Fail(const std::filesystem::path& file, const char* what, DWORD code) {
    throw std::runtime_error("Cannot write '" + platform::Narrow(file.wstring()) + "': " + what +
                             " (" + platform::SystemErrorText(code) + ")");
}

// Closes the handle and, unless kept, deletes the temporary file.
class TempFile {
public:
    TempFile(std::filesystem::path path, HANDLE handle) : path_(std::move(path)), handle_(handle) {}
    ~TempFile() {
        Close();
        if (!kept_) {
            ::DeleteFileW(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    HANDLE Handle() const { return handle_; }
    const std::filesystem::path& Path() const { return path_; }
    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
    }
    void Keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    HANDLE handle_;
    bool kept_ = false;
};

// A new temporary file beside `file`, opened for writing; its name is not taken yet.
TempFile CreateBeside(const std::filesystem::path& file) {
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(L".");
    constexpr int kAttempts = 100;
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring name = L"." + file.filename().wstring() + L"." +
                                  std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(::GetTickCount64() + attempt) + L".tmp";
        auto path = folder / name;
        HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return TempFile(std::move(path), handle);
        }
        code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    Fail(file, "cannot create a temporary file", code);
}

}  // namespace

// Windows: the temporary file is flushed with FlushFileBuffers and moved over the target
// with MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH), which replaces it in one step. A file
// with the read-only attribute is refused. Paths reach the system as UTF-16.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view content) {
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            Fail(file, "it is a folder", ERROR_DIRECTORY);
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            Fail(file, "the file is read-only", ERROR_ACCESS_DENIED);
        }
    }
    TempFile temp = CreateBeside(file);
    const char* data = content.data();
    std::size_t left = content.size();
    constexpr std::size_t kLargestWrite = 1u << 30;
    while (left > 0) {
        const auto chunk = static_cast<DWORD>(std::min(left, kLargestWrite));
        DWORD written = 0;
        if (!::WriteFile(temp.Handle(), data, chunk, &written, nullptr) || written == 0) {
            Fail(file, "write failed", ::GetLastError());
        }
        data += written;
        left -= written;
    }
    if (!::FlushFileBuffers(temp.Handle())) {
        Fail(file, "flush failed", ::GetLastError());
    }
    if (!temp.Close()) {
        Fail(file, "close failed", ::GetLastError());
    }
    if (!::MoveFileExW(temp.Path().c_str(), file.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(file, "cannot replace the file", ::GetLastError());
    }
    temp.Keep();
}

}  // namespace quillon
