// KavoVessadll.dll for the virtual board on Windows: the four Vessa driver entry points over a
// virtual board that lives inside the calling process. The board is built on the first
// ConnectDevice from the scenario file named by VESSA_SIM_SCENARIO, else from
// "KavoVessadll.ini" beside this library. With VESSA_SIM_DUMP naming a folder, every fitted
// flash memory is written there ("eflash.bin", "external.bin", ...) when the board is closed
// and when the library is unloaded, so that a check can look at what the flash holds.
// As a USB board is, the board is opened by one process at a time: ConnectDevice claims it
// (a named kernel object per device index, which the system drops with its last handle, so
// also when the holder ends) and answers VESSA_CONNECT_BUSY while another process holds it.
// Several boards: VESSA_SIM_BOARDS=N (1 to 16, default 1) plays the boards of device indexes
// 0 to N-1, each with its own target and flash; board K plays VESSA_SIM_SCENARIO_K when set,
// else the scenario above, and dumps into the folder "boardK" inside VESSA_SIM_DUMP (board 0
// into VESSA_SIM_DUMP itself). ConnectDevice opens the board of its index and the data calls
// go to the board opened last; an index beyond the boards fails as an unplugged board does.

#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "board/driver_api.h"
#include "sim/scenario_file.h"
#include "sim/virtual_board.h"

namespace {

using quillon::sim::FlashId;
using quillon::sim::VirtualBoard;

constexpr const wchar_t* kScenarioVariable = L"VESSA_SIM_SCENARIO";
constexpr const wchar_t* kDumpVariable = L"VESSA_SIM_DUMP";
constexpr const wchar_t* kScenarioBesideLibrary = L"KavoVessadll.ini";
constexpr const wchar_t* kBoardsVariable = L"VESSA_SIM_BOARDS";
constexpr uint8_t kConnectFailed = 1;
constexpr int kMostBoards = 16;

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// This process's claim on the board of a device index.
class BoardClaim {
public:
    // True when this process holds the board (also when it held it already).
    bool Take(uint8_t index) {
        if (held_ && index == index_) {
            return true;
        }
        held_.reset();  // a process holds one board: the one it opened last
        const std::wstring name = L"Local\\KavoVessadll.board." + std::to_wstring(index);
        HANDLE handle = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        const DWORD error = ::GetLastError();
        UniqueHandle claim(handle);
        if (!claim || error == ERROR_ALREADY_EXISTS) {
            return false;  // another process holds it
        }
        held_ = std::move(claim);
        index_ = index;
        return true;
    }
    void Release() { held_.reset(); }

private:
    UniqueHandle held_;
    uint8_t index_ = 0;
};

std::filesystem::path EnvironmentPath(const wchar_t* name) {
    constexpr DWORD kLongestValue = 32767;
    std::wstring value(kLongestValue, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), kLongestValue);
    if (length == 0 || length >= kLongestValue) {
        return {};
    }
    value.resize(length);
    return value;
}

// The folder of this library (not of the program that loaded it).
std::filesystem::path LibraryFolder() {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&LibraryFolder), &self);
    std::wstring name(MAX_PATH * 4, L'\0');
    const DWORD length = ::GetModuleFileNameW(self, name.data(), static_cast<DWORD>(name.size()));
    name.resize(length);
    return std::filesystem::path(name).parent_path();
}

// How many boards the library plays: VESSA_SIM_BOARDS, else 1.
int BoardCount() {
    const std::wstring text = EnvironmentPath(kBoardsVariable).wstring();
    if (text.empty()) {
        return 1;
    }
    const bool digits =
        text.size() <= 2 && text.find_first_not_of(L"0123456789") == std::wstring::npos;
    const int count = digits ? std::stoi(text) : 0;
    if (count < 1 || count > kMostBoards) {
        std::fprintf(stderr, "KavoVessadll: VESSA_SIM_BOARDS is 1 to 16; playing one board\n");
        return 1;
    }
    return count;
}

// The boards of this process and their lock (the entry points may be called from any
// thread; the boards serve one caller at a time).
class Bench {
public:
    ~Bench() { Dump(); }

    // The board of `index`, built on first use; none beyond the boards played or when its
    // scenario cannot be read.
    VirtualBoard* Board(uint8_t index) {
        if (index >= count_ || failed_[index]) {
            return nullptr;
        }
        if (!boards_[index]) {
            Build(index);
        }
        return boards_[index].get();
    }
    // The board the last ConnectDevice opened (board 0 before any).
    VirtualBoard* Opened() { return Board(opened); }

    void Dump() {
        const auto folder = EnvironmentPath(kDumpVariable);
        if (folder.empty()) {
            return;
        }
        for (int index = 0; index < count_; ++index) {
            if (boards_[index]) {
                Dump(*boards_[index],
                     index == 0 ? folder : folder / ("board" + std::to_string(index)));
            }
        }
    }

    std::mutex mutex;
    BoardClaim claim;
    uint8_t opened = 0;

private:
    static void Dump(VirtualBoard& board, const std::filesystem::path& folder) {
        static const struct {
            FlashId id;
            const char* file;
        } kFlashes[] = {{FlashId::kEFlash, "eflash.bin"},
                        {FlashId::kExternalSpi, "external.bin"},
                        {FlashId::kSocket, "socket.bin"},
                        {FlashId::kPd, "pd.bin"},
                        {FlashId::kBoard, "board.bin"}};
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        for (const auto& flash : kFlashes) {
            if (!board.HasFlash(flash.id)) {
                continue;
            }
            const auto bytes = board.Flash(flash.id);
            std::ofstream out(folder / flash.file, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
    }

    void Build(uint8_t index) {
        auto file = EnvironmentPath(
            (std::wstring(kScenarioVariable) + L"_" + std::to_wstring(index)).c_str());
        if (file.empty()) {
            file = EnvironmentPath(kScenarioVariable);
        }
        if (file.empty()) {
            file = LibraryFolder() / kScenarioBesideLibrary;
        }
        try {
            boards_[index] = std::make_unique<VirtualBoard>(quillon::sim::LoadScenarioFile(file));
            boards_[index]->SetTraceLimit(0);
        } catch (const std::exception& error) {
            // No board: ConnectDevice fails like a board that is not plugged in. Say why once.
            std::fprintf(stderr, "KavoVessadll: %s\n", error.what());
            failed_[index] = true;
        }
    }

    int count_ = BoardCount();
    std::array<std::unique_ptr<VirtualBoard>, kMostBoards> boards_;
    std::array<bool, kMostBoards> failed_{};
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

// One transfer of the bench's board under its lock. No board, no header, no buffer for a
// block, or a block beyond the largest transfer fails it.
template <typename Byte, typename Move>
uint8_t Transfer(const uint8_t* header, uint32_t length, Byte* data, Move move) {
    Bench& bench = TheBench();
    std::lock_guard lock(bench.mutex);
    VirtualBoard* board = bench.Opened();
    if (board == nullptr || header == nullptr || length > VESSA_MAX_TRANSFER ||
        (length != 0 && data == nullptr)) {
        return 0;
    }
    return move(*board, header, length, data);
}

}  // namespace

extern "C" {

uint8_t VESSA_CALL ConnectDevice(uint8_t index, int32_t parameter) {
    Bench& bench = TheBench();
    std::lock_guard lock(bench.mutex);
    VirtualBoard* board = bench.Board(index);
    if (board == nullptr) {
        return kConnectFailed;  // no board of that index: as an unplugged one
    }
    if (!bench.claim.Take(index)) {
        return VESSA_CONNECT_BUSY;
    }
    const uint8_t result = board->Connect(parameter);
    if (result != 0) {
        bench.claim.Release();
    } else {
        bench.opened = index;
    }
    return result;
}

// Closes the board this process opened, whatever the argument says.
uint8_t VESSA_CALL DisconnectDevice(uint32_t /*index*/) {
    Bench& bench = TheBench();
    std::lock_guard lock(bench.mutex);
    if (VirtualBoard* board = bench.Opened()) {
        board->Disconnect();
        bench.claim.Release();
        bench.Dump();
    }
    return 0;
}

uint8_t VESSA_CALL WriteDataToDevice(const uint8_t* header, uint32_t length, const uint8_t* data) {
    return Transfer(header, length, data,
                    [](VirtualBoard& board, const uint8_t* h, uint32_t n, const uint8_t* d) {
                        return board.Write(h, n, d);
                    });
}

uint8_t VESSA_CALL ReadDataFromDevice(const uint8_t* header, uint32_t length, uint8_t* buffer) {
    return Transfer(header, length, buffer,
                    [](VirtualBoard& board, const uint8_t* h, uint32_t n, uint8_t* d) {
                        return board.Read(h, n, d);
                    });
}

}  // extern "C"
