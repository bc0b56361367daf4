#pragma once

// A station set up to erase, blank-check, program and verify a whole 16 MiB SPI part
// (W25Q128JV class, 64 KB erase units) in the board's FSPI socket, for the flash-job
// benchmarks. Waits run on a virtual clock.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/driver_loader.h"
#include "config/setting_names.h"
#include "runtime/clock.h"
#include "runtime/window_timer.h"
#include "station/station.h"
#include "tests/support/recording_panel.h"
#include "tests/support/station_probe.h"

namespace quillon::bench {

inline constexpr const char* kJobPart = "W25Q128JV-IQ";
inline constexpr uint32_t kJobBlocks = 256;
inline constexpr std::size_t kJobPartSize = std::size_t{kJobBlocks} * 65536;

inline std::vector<uint8_t> JobImage() {
    std::mt19937_64 random(2026);
    std::vector<uint8_t> image(kJobPartSize);
    for (std::size_t i = 0; i < image.size(); i += 8) {
        const uint64_t word = random();
        for (std::size_t b = 0; b < 8; ++b) {
            image[i + b] = static_cast<uint8_t>(word >> (8 * b));
        }
    }
    return image;
}

class FlashJobStation {
public:
    explicit FlashJobStation(DriverLoader loader) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch folder");
        }
        folder_ = pattern;
        station_ = std::make_unique<Station>(
            panel_, clock_, timer_, StationOptions{folder_ / "settings.sqlite", folder_ / "INI"},
            std::move(loader));
        station_->RunStartup();
        SettingsStore& settings = station_->Settings();
        settings.WriteInt(setting::kConnectMode, 3);
        settings.WriteInt(setting::kAllocation, 1);
        settings.WriteInt(setting::kQuickMode, 0);
        settings.WriteText(setting::kLastFlashId1, "Winbond");
        settings.WriteText(setting::kLastFlashId2, kJobPart);
        SettingsCache& type = Probe(*station_).Cache();
        type.flashblock = kJobBlocks;
        type.commandModeRead = 0;
        type.commandModeErase = 0;
        type.commandModeWrite = 0;
        type.pageWriteSize = 256;
        type.eraseType = 2;
        type.sectorSize = 64;
        type.sectorOffset = "0";
        station_->Controls().main.deviceLines = {"Winbond", kJobPart};
        ImageState& image = Probe(*station_).Image();
        image.imageBuffer = JobImage();
        image.usedBlockCount = kJobBlocks;
        image.imageFileSize = static_cast<uint32_t>(kJobPartSize);
        if (!Probe(*station_).Link().Bind(0, 9000)) {
            throw std::runtime_error("the station did not bind the board");
        }
    }
    ~FlashJobStation() {
        station_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // Erase, blank check, program, verify; true when every step said OK.
    bool RunJob() {
        FlashOperations& ops = station_->FlashOps();
        return ops.Erase().Ok() && ops.BlankCheck().Ok() && ops.Program().Ok() && ops.Verify().Ok();
    }
    Station& GetStation() { return *station_; }

private:
    std::filesystem::path folder_;
    RecordingPanel panel_;
    VirtualClock clock_;
    ManualTimer timer_;
    std::unique_ptr<Station> station_;
};

}  // namespace quillon::bench
