// KavoVessadll.dll for the virtual board on Windows: the four Vessa driver entry points over a
// virtual board that lives inside the calling process. The board is built on the first
// ConnectDevice from the scenario file named by VESSA_SIM_SCENARIO, else from
// "KavoVessadll.ini" beside this library. With VESSA_SIM_DUMP naming a folder, every fitted
// flash memory is written there ("eflash.bin", "external.bin", ...) when the board is closed
// and when the library is unloaded, so that a check can look at what the flash holds.
// As a USB board is, the board is opened by one process at a time: ConnectDevice claims it
// (a named kernel object per device index, which the system drops with its last handle, so
// also when the holder ends) and answers VESSA_CONNECT_BUSY while another process holds it.

#include <windows.h>

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
constexpr uint8_t kConnectFailed = 1;
constexpr uint8_t kBoardIndex = 0;  // the one board this library plays

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// This process's claim on the board of a device index.
class BoardClaim {
public:
    // True when this process holds the board (also when it held it already).
    bool Take(uint8_t index) {
        if (held_) {
            return true;
        }
        const std::wstring name = L"Local\\KavoVessadll.board." + std::to_wstring(index);
        HANDLE handle = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        const DWORD error = ::GetLastError();
        UniqueHandle claim(handle);
        if (!claim || error == ERROR_ALREADY_EXISTS) {
            return false;  // another process holds it
        }
        held_ = std::move(claim);
        return true;
    }
    void Release() { held_.reset(); }

private:
    UniqueHandle held_;
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

// The one board of this process and its lock (the entry points may be called from any
// thread; the board serves one caller at a time).
class Bench {
public:
    ~Bench() { Dump(); }

    VirtualBoard* Board() {
        if (!board_ && !failed_) {
            Build();
        }
        return board_.get();
    }

    void Dump() {
        const auto folder = EnvironmentPath(kDumpVariable);
        if (folder.empty() || !board_) {
            return;
        }
        static const struct {
            FlashId id;
            const char* file;
        } kFlashes[] = {{FlashId::kEFlash, "eflash.bin"},
                        {FlashId::kExternalSpi, "external.bin"},
                        {FlashId::kSocket, "socket.bin"},
                        {FlashId::kPd, "pd.bin"},
                        {FlashId::kBoard, "board.bin"}};
        for (const auto& flash : kFlashes) {
            if (!board_->HasFlash(flash.id)) {
                continue;
            }
            const auto bytes = board_->Flash(flash.id);
            std::ofstream out(folder / flash.file, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
    }

    std::mutex mutex;
    BoardClaim claim;

private:
    void Build() {
        auto file = EnvironmentPath(kScenarioVariable);
        if (file.empty()) {
            file = LibraryFolder() / kScenarioBesideLibrary;
        }
        try {
            board_ = std::make_unique<VirtualBoard>(quillon::sim::LoadScenarioFile(file));
            board_->SetTraceLimit(0);
        } catch (const std::exception& error) {
            // No board: ConnectDevice fails like a board that is not plugged in. Say why once.
            std::fprintf(stderr, "KavoVessadll: %s\n", error.what());
            failed_ = true;
        }
    }

    std::unique_ptr<VirtualBoard> board_;
    bool failed_ = false;
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
    VirtualBoard* board = bench.Board();
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
    VirtualBoard* board = bench.Board();
    if (board == nullptr || index != kBoardIndex) {
        return kConnectFailed;
    }
    if (!bench.claim.Take(index)) {
        return VESSA_CONNECT_BUSY;
    }
    const uint8_t result = board->Connect(parameter);
    if (result != 0) {
        bench.claim.Release();
    }
    return result;
}

uint8_t VESSA_CALL DisconnectDevice(uint32_t /*reserved*/) {
    Bench& bench = TheBench();
    std::lock_guard lock(bench.mutex);
    if (VirtualBoard* board = bench.Board()) {
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
