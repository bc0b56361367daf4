#include "flashops/flash_kind.h"

#include "config/connect_mode.h"
#include "config/setting_names.h"

namespace quillon {

FlashKind FlashKindOf(const SettingsStore& settings) {
    const auto mode = ConnectModeFrom(settings.ReadInt(setting::kConnectMode));
    if (mode == ConnectMode::Pd) {
        return FlashKind::PdPages;
    }
    if (mode == ConnectMode::Socket) {
        return FlashKind::SocketBlocks;
    }
    return ThroughDebugger(mode) ? FlashKind::DebuggerBlocks : FlashKind::UnknownModeBlocks;
}

const FlashKindFacts& FactsOf(FlashKind kind) {
    static constexpr FlashKindFacts kBlocks{true, true, false, true};
    static constexpr FlashKindFacts kSocket{true, true, true, true};
    static constexpr FlashKindFacts kPd{false, false, false, false};
    switch (kind) {
        case FlashKind::SocketBlocks:
            return kSocket;
        case FlashKind::PdPages:
            return kPd;
        case FlashKind::DebuggerBlocks:
        case FlashKind::UnknownModeBlocks:
            break;
    }
    return kBlocks;
}

}  // namespace quillon
