#pragma once

// A vessa-sim daemon on a private socket in a thread, and the driver library loaded the way
// the program loads it, for the sim_* benchmarks.

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "board/driver_api.h"
#include "sim/daemon/daemon.h"

namespace quillon::sim::bench {

class ServedBoard {
public:
    explicit ServedBoard(const std::string& scenarioText) {
        char pattern[] = "/tmp/quillon-sim-bench.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        folder_ = pattern;
        std::ofstream(folder_ / "bench.ini") << scenarioText;
        DaemonOptions options;
        options.scenarioFile = folder_ / "bench.ini";
        options.socketPath = (folder_ / "vessa.sock").string();
        daemon_ = std::make_unique<Daemon>(options);
        thread_ = std::thread([this] { daemon_->Run(stop_); });
        setenv("VESSA_SIM_SOCKET", options.socketPath.c_str(), 1);
        library_ = dlopen(QUILLON_BENCH_DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) {
            throw std::runtime_error(dlerror());
        }
        connect = reinterpret_cast<VessaConnectDeviceFn>(dlsym(library_, "ConnectDevice"));
        disconnect = reinterpret_cast<VessaDisconnectDeviceFn>(dlsym(library_, "DisconnectDevice"));
        read = reinterpret_cast<VessaReadDataFromDeviceFn>(dlsym(library_, "ReadDataFromDevice"));
        write = reinterpret_cast<VessaWriteDataToDeviceFn>(dlsym(library_, "WriteDataToDevice"));
        if (connect(0, 9000) != 0) {
            throw std::runtime_error("the driver library did not connect");
        }
    }
    ~ServedBoard() {
        disconnect(0);
        dlclose(library_);
        stop_ = true;
        thread_.join();
        daemon_.reset();
        std::filesystem::remove_all(folder_);
    }

    VessaConnectDeviceFn connect = nullptr;
    VessaDisconnectDeviceFn disconnect = nullptr;
    VessaReadDataFromDeviceFn read = nullptr;
    VessaWriteDataToDeviceFn write = nullptr;

private:
    std::filesystem::path folder_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<Daemon> daemon_;
    std::thread thread_;
    void* library_ = nullptr;
};

inline const char* kSocketPartScenario = "[socket]\npart = W25Q128FV\n";

}  // namespace quillon::sim::bench
