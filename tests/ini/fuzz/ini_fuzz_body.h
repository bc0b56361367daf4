#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/ini_profile.h"

namespace quillon {

// One fuzz input: parse it, query it, write into it, and check that a write keeps what it
// promised. Shared by the libFuzzer target and the corpus replay test.
inline void FuzzIniDocument(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniDocument document(text);
    const auto names = document.SectionNames();
    for (const auto& name : names) {
        for (const auto& entry : document.SectionEntries(name)) {
            (void)document.Find(name, entry.key);
        }
    }
    (void)document.Read("Index", "1", "none");

    // A write must leave the key readable with the written value, and must not disturb the
    // text before the changed line.
    const std::string section = names.empty() ? std::string("Fuzz") : names.front();
    IniDocument edited(text);
    if (edited.Write(section, "FuzzKey", " fuzz value ").ok) {
        if (edited.Read(section, "FuzzKey", "") != " fuzz value ") {
            __builtin_trap();
        }
    }
}

}  // namespace quillon
