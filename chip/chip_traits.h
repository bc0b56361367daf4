#pragma once

#include <cstdint>

namespace quillon {

// How flash-mode entry treats the controller's clock register (0x1036).
enum class ClockSwitch {
    None,
    BeforeFlashAccess,    // 0x1036 and 0x1063 set before the flash is reached
    OffForExternalFlash,  // 0x1036 cleared while the external flash is selected
};

// How a USB-PD controller's eFlash is sized.
enum class PdSizing {
    None,
    Fixed64K,         // 64 KB
    SizeRegister,     // by the controller's size register
    HighVersion64K,   // 64 KB when the version's top bit is set, else 128 KB
    HighVersion128K,  // 128 KB when the version's top bit is set, else 64 KB
};

// How the configuration byte (FlashConfigByte) gives the eFlash size, if it does.
enum class ConfigByteSizing {
    None,
    LowBits3,  // bits 2..0: 128, 32, 56 KB, else 64 KB
    LowBits2,  // bits 1..0: 128, 256, 192 KB
    LowBits4,  // bits 3..0: 128, 256, 192, 512 KB, 1 MB
};

// Everything the station does differently for one controller, resolved once from its chip
// code and version when the chip is identified (TargetIdentity::Traits). The operations ask
// this record; only the table in chip_traits.cpp knows which chips have which trait.
struct ChipTraits {
    // The chip groups.
    bool knownFamily = false;    // a chip-ID read of any other family fails
    bool eFlashOnly = false;     // embedded flash only: direct entry, buttons hidden
    bool romCodeFamily = false;  // ROM key, image reload, ROM-code area of the image and flash
    bool eflashSized = false;    // Save cuts a read of the eFlash to the eFlash size
    bool bankSize = false;       // EFlashSizeCode read on flash-mode entry
    bool largeFlash = false;     // display name and the Internal-Flash sizing by version

    // Flash-mode entry.
    bool noWait = false;              // no settle step after the reset, over either debugger route
    bool noWaitOverKbs = false;       // no settle step over KBS only
    bool quickModeException = false;  // the quick-mode probe's answer is not trusted
    ClockSwitch clockSwitch = ClockSwitch::None;
    bool smbusRouteRegister = false;  // over SMBus register 0x2007 routes the bus, then a wait
    bool clearsRegister16F7 = false;
    bool clearsRegisters20A0 = false;  // 0x1F05 set, 0x20A0..0x20BF cleared

    // eFlash sizing and the part's name.
    ConfigByteSizing configByteSizing = ConfigByteSizing::None;
    bool romCode120K = false;  // 120 KB plus the ROM-code area when the byte says 8
    bool fixed184K = false;    // after the bank sizing: 184 (+8) KB, ROM code at 0x1E000
    bool fixed120K = false;    // after the bank sizing: 120 KB, ROM code at 0x1E000
    PdSizing pdSizing = PdSizing::None;
    bool boardWritesWithoutPages = false;   // a part without page writes gets write command 3
    bool sizedByVersion = false;            // Internal-Flash: by the version byte's size field
    bool sizedByVersionHighNibble = false;  // ... by its high nibble when its low one is 3+
    uint16_t fixedSizeKB = 0;               // Internal-Flash: this size, 0 for none
    bool kqName = false;                    // the part is named "KQ" + ChipCode

    // Flash operations and images.
    bool romCodeAreaUntested = false;          // without the ROM key the 8 KiB at 0x1E000 stay 0xFF
    bool keepsLast1KProtected = false;         // "Erase Last 1K" does not unprotect the last KiB
    bool programsAtLowSmbusSpeed = false;      // SMBus low speed while programming at high speed
    bool highSmbusSpeedAfterProgram = false;   // and the high speed back afterwards
    bool verifiesAtLowSmbusSpeed = false;      // the same around a verify
    bool internalFlashQuickPaths = false;      // quick paths also on the internal flash
    bool blockProcessTestsEFlashOnly = false;  // the block process tests the eFlash size only
    bool pdIdOneByteLate = false;              // the USB-PD flash ID arrives one byte late
    // How the USB-PD commands address the controller's flash (0..3). Resolved from the code as
    // the PD chip-ID read forms it, before any renaming of slot 0; the identity keeps it as
    // TargetIdentity::pdFlashVariant.
    uint8_t pdFlashVariant = 0;

    // The settle step after the reset is left out on the given debugger route.
    bool NoWaitOver(bool kbs) const { return noWait || (kbs && noWaitOverKbs); }

    bool operator==(const ChipTraits&) const = default;
};

// The traits of chip code C (ChipCode read as hexadecimal) with version V.
ChipTraits ChipTraitsOf(uint16_t c, uint8_t v);

}  // namespace quillon
