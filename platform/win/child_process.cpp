#include "platform/child_process.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/system_error_text.h"
#include "platform/win/file_handle.h"
#include "platform/win/quoted_command_line.h"
#include "platform/win/stop_pipe.h"

namespace quillon::platform {

namespace {

// A program TerminateProcess ended reports what a shell reports for SIGKILL.
constexpr DWORD kKilledStatus = 128 + 9;

// Only the three handles a child is to have are ever inheritable, and only while that child
// is being started: two children started at once never hold each other's pipes open, so
// each stream ends when its own child ends.
std::mutex startMutex;

[[noreturn]] void Fail(const std::string& what, DWORD error) {
    throw std::runtime_error(what + ": " + SystemErrorText(error));
}

struct Pipe {
    FileHandle read;
    FileHandle write;
};

Pipe MakePipe() {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (::CreatePipe(&read, &write, nullptr, 0) == 0) {
        Fail("no pipe for a child process", ::GetLastError());
    }
    return {FileHandle(read), FileHandle(write)};
}

FileHandle OpenNullDevice() {
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (nul == INVALID_HANDLE_VALUE) {
        Fail("no null device for a child process", ::GetLastError());
    }
    return FileHandle(nul);
}

// The handles made inheritable for one start, made private again however the start ends.
class InheritedForStart {
public:
    explicit InheritedForStart(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        for (const HANDLE handle : handles_) {
            if (::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) == 0) {
                Fail("cannot hand a pipe to a child process", ::GetLastError());
            }
        }
    }
    ~InheritedForStart() {
        for (const HANDLE handle : handles_) {
            ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
        }
    }
    InheritedForStart(const InheritedForStart&) = delete;
    InheritedForStart& operator=(const InheritedForStart&) = delete;

    std::vector<HANDLE>& Handles() { return handles_; }

private:
    std::vector<HANDLE> handles_;
};

// The start's attribute list: the child inherits exactly `handles`, nothing else this
// process holds.
class AttributeList {
public:
    explicit AttributeList(std::vector<HANDLE>& handles) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (::InitializeProcThreadAttributeList(list_, 1, 0, &size) == 0) {
            Fail("cannot start a child process", ::GetLastError());
        }
        if (::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                        handles.size() * sizeof(HANDLE), nullptr, nullptr) == 0) {
            const DWORD error = ::GetLastError();
            ::DeleteProcThreadAttributeList(list_);
            Fail("cannot start a child process", error);
        }
    }
    ~AttributeList() { ::DeleteProcThreadAttributeList(list_); }
    AttributeList(const AttributeList&) = delete;
    AttributeList& operator=(const AttributeList&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// This process's environment with the child's stop pipe named in it (CREATE_UNICODE_ENVIRONMENT:
// each "NAME=value" ends with a zero, the block with one more).
std::wstring ChildEnvironment(HANDLE stopPipe) {
    struct Freer {
        void operator()(wchar_t* block) const { ::FreeEnvironmentStringsW(block); }
    };
    const std::unique_ptr<wchar_t, Freer> strings(::GetEnvironmentStringsW());
    const std::wstring prefix = std::wstring(kStopPipeVariable) + L"=";
    std::wstring block;
    for (const wchar_t* entry = strings.get(); entry && *entry; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, prefix.c_str(), prefix.size()) != 0) {
            block.append(entry);
            block.push_back(L'\0');
        }
    }
    block += prefix + std::to_wstring(reinterpret_cast<std::uintptr_t>(stopPipe));
    block.push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace

struct ChildProcess::Handles {
    ObjectHandle process;
    FileHandle out;
    FileHandle err;
    FileHandle stop;  // the write end of the child's stop pipe
};

// The child has no console: a Ctrl+C or Ctrl+Break typed in this process's console reaches
// only this process, which passes the stop on once (Signal) through the child's stop pipe.
// Without a console the child never shows a window of its own either, and a console event
// needs no console shared with it (a process started without one, as under a service or from
// a pipe, has none to share).
ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments)
    : handles_(std::make_unique<Handles>()) {
    Pipe out = MakePipe();
    Pipe err = MakePipe();
    Pipe stop = MakePipe();
    FileHandle input = OpenNullDevice();
    const std::wstring file = program.wstring();
    std::wstring line = QuotedCommandLine(file, arguments);
    std::wstring environment = ChildEnvironment(stop.read.Get());

    const std::lock_guard lock(startMutex);
    InheritedForStart inherited({input.Get(), out.write.Get(), err.write.Get(), stop.read.Get()});
    AttributeList attributes(inherited.Handles());
    STARTUPINFOEXW start{};
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = input.Get();
    start.StartupInfo.hStdOutput = out.write.Get();
    start.StartupInfo.hStdError = err.write.Get();
    start.lpAttributeList = attributes.Get();
    const DWORD flags =
        DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT;
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(file.c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                         environment.data(), nullptr, &start.StartupInfo, &started) == 0) {
        Fail("cannot run '" + Narrow(file) + "'", ::GetLastError());
    }
    ObjectHandle thread(started.hThread);
    handles_->process.Reset(started.hProcess);
    handles_->out = std::move(out.read);
    handles_->err = std::move(err.read);
    handles_->stop = std::move(stop.write);
}

ChildProcess::~ChildProcess() {
    if (handles_ && handles_->process.Valid()) {
        ::TerminateProcess(handles_->process.Get(), kKilledStatus);
        ::WaitForSingleObject(handles_->process.Get(), INFINITE);
    }
}

ChildProcess::ChildProcess(ChildProcess&&) noexcept = default;
ChildProcess& ChildProcess::operator=(ChildProcess&&) noexcept = default;

std::size_t ChildProcess::Read(Stream stream, char* buffer, std::size_t size) {
    const HANDLE pipe = stream == Stream::Out ? handles_->out.Get() : handles_->err.Get();
    const DWORD most = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(pipe, buffer, most, &got, nullptr) == 0) {
            return 0;  // the child's end closed (ERROR_BROKEN_PIPE), or it cannot be read
        }
        if (got > 0) {
            return got;
        }
        // An empty write of the child's: wait for the next.
    }
}

// The signal's number, one byte, into the child's stop pipe: quillon-cli takes it as that
// signal (WatchStopRequests). A child that has ended has closed its end: nothing to do.
void ChildProcess::Signal(int signal) {
    if (handles_->process.Valid() && signal > 0 && signal < 256) {
        const auto byte = static_cast<unsigned char>(signal);
        DWORD written = 0;
        ::WriteFile(handles_->stop.Get(), &byte, 1, &written, nullptr);
    }
}

void ChildProcess::Kill() {
    if (handles_->process.Valid()) {
        ::TerminateProcess(handles_->process.Get(), kKilledStatus);
    }
}

int ChildProcess::Wait() {
    if (!handles_->process.Valid()) {
        return -1;
    }
    ::WaitForSingleObject(handles_->process.Get(), INFINITE);
    DWORD status = 0;
    if (::GetExitCodeProcess(handles_->process.Get(), &status) == 0) {
        status = static_cast<DWORD>(-1);
    }
    handles_->process.Reset(nullptr);
    return static_cast<int>(status);
}

}  // namespace quillon::platform
