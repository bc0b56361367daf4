#include "sim/scenario_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "sim/spi_part.h"

namespace quillon::sim {

namespace {

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

[[noreturn]] void Fail(const std::string& where, const std::string& reason) {
    throw ScenarioError(where + ": " + reason);
}

uint64_t ParseUnsigned(const std::string& value, const std::string& where, uint64_t max) {
    std::string digits = value;
    uint64_t scale = 1;
    if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'k')) {
        scale = 1024;
        digits.pop_back();
    } else if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) {
        scale = 1024 * 1024;
        digits.pop_back();
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    uint64_t number = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        Fail(where, "'" + value + "' is not a number");
    }
    if (number > max / scale) {
        Fail(where, "'" + value + "' is too large (at most " + std::to_string(max) + ")");
    }
    return number * scale;
}

uint32_t Parse32(const std::string& value, const std::string& where, uint32_t max = UINT32_MAX) {
    return static_cast<uint32_t>(ParseUnsigned(value, where, max));
}

// `text` as 1 to `maxDigits` hex digits; nothing when it is not that.
std::optional<unsigned> HexNumber(const std::string& text, std::size_t maxDigits) {
    unsigned number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, 16);
    if (text.empty() || text.size() > maxDigits || error != std::errc() ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

uint8_t ParseHexByte(const std::string& value, const std::string& where) {
    const std::optional<unsigned> number = HexNumber(value, 2);
    if (!number) {
        Fail(where, "'" + value + "' is not a hex byte");
    }
    return static_cast<uint8_t>(*number);
}

std::vector<std::string> Words(const std::string& value) {
    std::istringstream stream(value);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

std::vector<uint8_t> ParseHexBytes(const std::string& value, const std::string& where,
                                   std::size_t minCount, std::size_t maxCount) {
    std::vector<uint8_t> bytes;
    for (const std::string& word : Words(value)) {
        bytes.push_back(ParseHexByte(word, where));
    }
    if (bytes.size() < minCount || bytes.size() > maxCount) {
        Fail(where, minCount == maxCount ? "expected " + std::to_string(minCount) + " hex bytes"
                                         : "expected " + std::to_string(minCount) + " to " +
                                               std::to_string(maxCount) + " hex bytes");
    }
    return bytes;
}

template <std::size_t N>
std::array<uint8_t, N> HexArray(const std::string& value, const std::string& where) {
    const auto bytes = ParseHexBytes(value, where, N, N);
    std::array<uint8_t, N> array{};
    std::copy(bytes.begin(), bytes.end(), array.begin());
    return array;
}

std::array<uint8_t, 15> ParsePins(const std::string& value, const std::string& where) {
    const auto words = Words(value);
    if (words.size() != 15) {
        Fail(where, "expected 15 pin numbers");
    }
    std::array<uint8_t, 15> pins{};
    for (std::size_t i = 0; i < 15; ++i) {
        const uint64_t pin = ParseUnsigned(words[i], where, 255);
        pins[i] = static_cast<uint8_t>(pin);
    }
    return pins;
}

bool ParseBool(const std::string& value, const std::string& where) {
    const std::string v = Lower(value);
    if (v == "yes" || v == "true" || v == "on" || v == "1") {
        return true;
    }
    if (v == "no" || v == "false" || v == "off" || v == "0") {
        return false;
    }
    Fail(where, "'" + value + "' is not yes or no");
}

double ParseRate(const std::string& value, const std::string& where) {
    std::size_t used = 0;
    double rate = 0;
    try {
        rate = std::stod(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != value.size() || !(rate >= 0.0 && rate <= 1.0)) {
        Fail(where, "'" + value + "' is not a rate between 0 and 1");
    }
    return rate;
}

std::string Part(const std::string& value, const std::string& where) {
    if (FindSpiPart(value) == nullptr) {
        Fail(where, "unknown SPI part '" + value + "'");
    }
    return value;
}

// What `names` calls `value` (in any letter case); `unknown` is the failure's reason.
template <typename T>
T ParseName(const std::map<std::string, T>& names, const std::string& value,
            const std::string& where, const std::string& unknown) {
    const auto it = names.find(Lower(value));
    if (it == names.end()) {
        Fail(where, unknown);
    }
    return it->second;
}

FlashId ParseFlash(const std::string& value, const std::string& where) {
    static const std::map<std::string, FlashId> kNames{{"eflash", FlashId::kEFlash},
                                                       {"external", FlashId::kExternalSpi},
                                                       {"socket", FlashId::kSocket},
                                                       {"pd", FlashId::kPd},
                                                       {"board", FlashId::kBoard}};
    return ParseName(kNames, value, where,
                     "unknown flash '" + value + "' (eflash, external, socket, pd, board)");
}

FaultKind ParseFaultKind(const std::string& value, const std::string& where) {
    static const std::map<std::string, FaultKind> kKinds{
        {"fail_transfer", FaultKind::kFailTransfer},
        {"unstable_read", FaultKind::kUnstableRead},
        {"stuck_bits", FaultKind::kStuckBits},
        {"write_lie", FaultKind::kWriteLie},
        {"erase_lie", FaultKind::kEraseLie},
        {"partial_write", FaultKind::kPartialWrite},
        {"stale_read", FaultKind::kStaleRead},
        {"power_loss", FaultKind::kPowerLoss},
        {"unplug", FaultKind::kUnplug}};
    return ParseName(kKinds, value, where, "unknown fault kind '" + value + "'");
}

void SetFaultKey(FaultRule& rule, const std::string& key, const std::string& value,
                 const std::string& where) {
    using R = FaultRule;
    using V = const std::string&;
    using FaultSetter = void (*)(R&, V, V);
    static const std::map<std::string, FaultSetter> kKeys{
        {"kind", [](R& r, V v, V w) { r.kind = ParseFaultKind(v, w); }},
        {"opcode", [](R& r, V v, V w) { r.opcode = ParseHexByte(v, w); }},
        {"sub", [](R& r, V v, V w) { r.subCommand = ParseHexByte(v, w); }},
        {"unit", [](R& r, V v, V w) { r.unit = Parse32(v, w, 0xFFFF); }},
        {"times", [](R& r, V v, V w) { r.times = Parse32(v, w); }},
        {"rate", [](R& r, V v, V w) { r.rate = ParseRate(v, w); }},
        {"bytes", [](R& r, V v, V w) { r.bytes = Parse32(v, w, 65536); }},
        {"after", [](R& r, V v, V w) { r.afterTransfers = Parse32(v, w); }},
        {"flash", [](R& r, V v, V w) { r.flash = ParseFlash(v, w); }},
        {"address", [](R& r, V v, V w) { r.address = Parse32(v, w); }},
        {"length", [](R& r, V v, V w) { r.length = Parse32(v, w); }},
        {"bits", [](R& r, V v, V w) { r.bits = ParseHexByte(v, w); }},
    };
    const auto it = kKeys.find(key);
    if (it == kKeys.end()) {
        Fail(where, "unknown fault key '" + key + "'");
    }
    it->second(rule, value, where);
}

using Setter = std::function<void(Scenario&, const std::string&, const std::string&)>;

EcSpec& Ec(Scenario& s) {
    return *s.ec;
}
PdSpec& Pd(Scenario& s) {
    return *s.pd;
}

const std::map<std::string, std::map<std::string, Setter>>& Sections() {
    using S = Scenario;
    using V = const std::string&;
    static const std::map<std::string, std::map<std::string, Setter>> kSections{
        {"scenario",
         {{"name", [](S& s, V v, V) { s.name = v; }},
          {"powered", [](S& s, V v, V w) { s.targetPowered = ParseBool(v, w); }},
          {"plugged", [](S& s, V v, V w) { s.plugged = ParseBool(v, w); }},
          {"seed", [](S& s, V v, V w) { s.faultSeed = ParseUnsigned(v, w, UINT64_MAX); }},
          {"real_time", [](S& s, V v, V w) { s.timing.realTime = ParseBool(v, w); }}}},
        {"board",
         {{"firmware",
           [](S& s, V v, V w) {
               const auto dot = v.find('.');
               if (dot == std::string::npos) {
                   Fail(w, "firmware version must read HH.HH");
               }
               s.board.firmwareMajor = ParseHexByte(v.substr(0, dot), w);
               s.board.firmwareMinor = ParseHexByte(v.substr(dot + 1), w);
           }},
          {"controller_kind",
           [](S& s, V v, V w) {
               s.board.controllerKind = static_cast<uint8_t>(ParseUnsigned(v, w, 255));
           }},
          {"pin_definition_kind",
           [](S& s, V v, V w) {
               s.board.pinDefinitionKind = static_cast<uint8_t>(ParseUnsigned(v, w, 255));
           }},
          {"stored_pins", [](S& s, V v, V w) { s.board.storedPins = ParsePins(v, w); }},
          {"stored_file_size", [](S& s, V v, V w) { s.board.storedFileSize = Parse32(v, w); }}}},
        {"ec",
         {{"chip_id", [](S& s, V v, V w) { Ec(s).chipId = HexArray<3>(v, w); }},
          {"link",
           [](S& s, V v, V w) {
               static const std::map<std::string, EcLink> kLinks{
                   {"kbs", EcLink::kKbs}, {"smbus", EcLink::kSmbus}, {"both", EcLink::kBoth}};
               Ec(s).link = ParseName(kLinks, v, w, "link must be kbs, smbus or both");
           }},
          {"eflash_size", [](S& s, V v, V w) { Ec(s).eflashSize = Parse32(v, w, 16u << 20); }},
          {"eflash_sector",
           [](S& s, V v, V w) {
               const auto sector = ParseUnsigned(v, w, 65536);
               if (sector == 0 || (sector & (sector - 1)) != 0) {
                   Fail(w, "eflash_sector must be a power of two");
               }
               Ec(s).eflashSector = static_cast<uint32_t>(sector);
           }},
          {"eflash_id", [](S& s, V v, V w) { Ec(s).eflashId = HexArray<5>(v, w); }},
          {"eflash_id16", [](S& s, V v, V w) { Ec(s).eflashId16 = HexArray<16>(v, w); }},
          {"external_part", [](S& s, V v, V w) { Ec(s).externalPart = Part(v, w); }},
          {"selected",
           [](S& s, V v, V w) {
               const std::string side = Lower(v);
               if (side != "internal" && side != "external") {
                   Fail(w, "selected must be internal or external");
               }
               Ec(s).internalSelected = side == "internal";
           }},
          {"quick_mode_register",
           [](S& s, V v, V w) { Ec(s).quickModeRegister = ParseHexByte(v, w); }},
          {"rom_key_locked", [](S& s, V v, V w) { Ec(s).romKeyLocked = ParseBool(v, w); }},
          {"match_key", [](S& s, V v, V w) { Ec(s).matchKey = HexArray<8>(v, w); }},
          {"kbs_pins", [](S& s, V v, V w) { Ec(s).kbsPins = ParsePins(v, w); }}}},
        {"pd",
         {{"chip_id", [](S& s, V v, V w) { Pd(s).chipId = HexArray<3>(v, w); }},
          {"i2c_address", [](S& s, V v, V w) { Pd(s).i2cAddress = ParseHexByte(v, w); }},
          {"flash_size",
           [](S& s, V v, V w) {
               const auto size = ParseUnsigned(v, w, 16u << 20);
               if (size == 0 || size % 1024 != 0) {
                   Fail(w, "flash_size must be a whole number of KiB");
               }
               Pd(s).flashSize = static_cast<uint32_t>(size);
           }},
          {"flash_id",
           [](S& s, V v, V w) {
               const auto bytes = ParseHexBytes(v, w, 3, 16);
               Pd(s).flashId.fill(0xFF);
               std::copy(bytes.begin(), bytes.end(), Pd(s).flashId.begin());
           }}}},
        {"socket", {{"part", [](S& s, V v, V w) { s.socketPart = Part(v, w); }}}},
        {"timing",
         {{"spi_clock_hz",
           [](S& s, V v, V w) {
               s.timing.spiClockHz = Parse32(v, w, 200'000'000);
               if (s.timing.spiClockHz == 0) {
                   Fail(w, "spi_clock_hz must not be 0");
               }
           }},
          {"usb_bytes_per_second",
           [](S& s, V v, V w) {
               s.timing.usbBytesPerSecond = Parse32(v, w);
               if (s.timing.usbBytesPerSecond == 0) {
                   Fail(w, "usb_bytes_per_second must not be 0");
               }
           }},
          {"usb_round_trip_us",
           [](S& s, V v, V w) { s.timing.usbRoundTripUs = Parse32(v, w, 1'000'000); }}}},
        {"fault", {}},
    };
    return kSections;
}

// register.HHHH = HH in [ec] and [pd].
bool SetRegister(Scenario& scenario, const std::string& section, const std::string& key,
                 const std::string& value, const std::string& where) {
    if (key.rfind("register.", 0) != 0 || (section != "ec" && section != "pd")) {
        return false;
    }
    const std::string address = key.substr(9);
    const std::optional<unsigned> number = HexNumber(address, 4);
    if (!number) {
        Fail(where, "register address '" + address + "' is not 1 to 4 hex digits");
    }
    auto& registers = section == "ec" ? scenario.ec->registers : scenario.pd->registers;
    registers[static_cast<uint16_t>(*number)] = ParseHexByte(value, where);
    return true;
}

}  // namespace

Scenario ParseScenario(std::string_view text, const std::string& fileName) {
    Scenario scenario;
    std::string section;
    std::set<std::string> seenSections;
    std::set<std::string> seenKeys;
    std::optional<FaultRule> fault;
    std::string faultWhere;
    bool faultHasKind = false;
    auto finishFault = [&] {
        if (fault) {
            if (!faultHasKind) {
                Fail(faultWhere, "[fault] needs a kind");
            }
            scenario.faults.push_back(*fault);
            fault.reset();
        }
    };

    std::size_t lineNumber = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string line = Trim(text.substr(at, end - at));
        at = end + 1;
        ++lineNumber;
        const std::string where = fileName + ":" + std::to_string(lineNumber);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                Fail(where, "section header without ']'");
            }
            finishFault();
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (Sections().count(section) == 0) {
                Fail(where, "unknown section [" + section + "]");
            }
            seenKeys.clear();
            if (section == "fault") {
                fault = FaultRule{};
                faultWhere = where;
                faultHasKind = false;
            } else if (!seenSections.insert(section).second) {
                Fail(where, "section [" + section + "] appears twice");
            }
            if (section == "ec") {
                scenario.ec = EcSpec{};
            } else if (section == "pd") {
                scenario.pd = PdSpec{};
            }
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            Fail(where, "expected key = value");
        }
        if (section.empty()) {
            Fail(where, "key outside a section");
        }
        const std::string key = Lower(Trim(line.substr(0, equals)));
        const std::string value = Trim(line.substr(equals + 1));
        if (key.empty()) {
            Fail(where, "empty key");
        }
        if (!seenKeys.insert(key).second) {
            Fail(where, "key '" + key + "' appears twice in [" + section + "]");
        }
        if (value.empty()) {
            Fail(where, "key '" + key + "' has no value");
        }
        if (section == "fault") {
            SetFaultKey(*fault, key, value, where);
            faultHasKind = faultHasKind || key == "kind";
            continue;
        }
        if (SetRegister(scenario, section, key, value, where)) {
            continue;
        }
        const auto& keys = Sections().at(section);
        const auto setter = keys.find(key);
        if (setter == keys.end()) {
            Fail(where, "unknown key '" + key + "' in [" + section + "]");
        }
        setter->second(scenario, value, where);
    }
    finishFault();
    if (!scenario.ec && !scenario.pd && scenario.socketPart.empty()) {
        Fail(fileName, "nothing fitted: the scenario needs [ec], [pd] or [socket]");
    }
    return scenario;
}

Scenario LoadScenarioFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ScenarioError(path.string() + ": cannot be read");
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        throw ScenarioError(path.string() + ": cannot be read");
    }
    return ParseScenario(text.str(), path.string());
}

FaultRule ParseFaultRule(const std::vector<std::pair<std::string, std::string>>& keys,
                         const std::string& where) {
    FaultRule rule;
    bool hasKind = false;
    std::set<std::string> seen;
    for (const auto& [key, value] : keys) {
        const std::string name = Lower(key);
        if (!seen.insert(name).second) {
            Fail(where, "key '" + name + "' given twice");
        }
        SetFaultKey(rule, name, value, where);
        hasKind = hasKind || name == "kind";
    }
    if (!hasKind) {
        Fail(where, "a fault needs a kind");
    }
    return rule;
}

}  // namespace quillon::sim
