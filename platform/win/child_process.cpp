#include "platform/child_process.h"

#include <windows.h>

#include <csignal>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/system_error_text.h"
#include "platform/win/file_handle.h"
#include "platform/win/quoted_command_line.h"

namespace quillon::platform {

namespace {

// A program TerminateProcess ended reports what a shell reports for SIGKILL.
constexpr DWORD kKilledStatus = 128 + 9;
// The system's own end of a console program on Ctrl+C or Ctrl+Break when the program takes
// neither: reported as the Ctrl+C that ended it.
constexpr DWORD kControlCExit = 0xC000013A;

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
        if (::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                        handles.data(), handles.size() * sizeof(HANDLE), nullptr,
                                        nullptr) == 0) {
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

bool HasConsole() {
    return ::GetConsoleCP() != 0;
}

}  // namespace

struct ChildProcess::Handles {
    ObjectHandle process;
    DWORD id = 0;
    FileHandle out;
    FileHandle err;
};

bool ChildProcessesAvailable() {
    return true;
}

// The child runs in a console process group of its own: a Ctrl+C typed in the console reaches
// only this process, which passes the stop on once (Signal) as the Ctrl+Break the child's own
// group can be sent. A console program started without a console gets a hidden one rather
// than a window of its own.
ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments)
    : handles_(std::make_unique<Handles>()) {
    Pipe out = MakePipe();
    Pipe err = MakePipe();
    FileHandle input = OpenNullDevice();
    const std::wstring file = program.wstring();
    std::wstring line = QuotedCommandLine(file, arguments);

    const std::lock_guard lock(startMutex);
    InheritedForStart inherited({input.Get(), out.write.Get(), err.write.Get()});
    AttributeList attributes(inherited.Handles());
    STARTUPINFOEXW start{};
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = input.Get();
    start.StartupInfo.hStdOutput = out.write.Get();
    start.StartupInfo.hStdError = err.write.Get();
    start.lpAttributeList = attributes.Get();
    DWORD flags = CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT;
    if (!HasConsole()) {
        flags |= CREATE_NO_WINDOW;
    }
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(file.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                         nullptr, &start.StartupInfo, &started) == 0) {
        Fail("cannot run '" + Narrow(file) + "'", ::GetLastError());
    }
    ObjectHandle thread(started.hThread);
    handles_->process.Reset(started.hProcess);
    handles_->id = started.dwProcessId;
    handles_->out = std::move(out.read);
    handles_->err = std::move(err.read);
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

// Every stop reaches the child as a Ctrl+Break of its process group, which it takes as its
// own Ctrl+C; Windows has no other signal to send a console program.
void ChildProcess::Signal(int) {
    if (handles_->process.Valid()) {
        ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, handles_->id);
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
    return status == kControlCExit ? 128 + SIGINT : static_cast<int>(status);
}

}  // namespace quillon::platform
