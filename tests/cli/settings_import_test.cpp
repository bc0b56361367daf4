#include "config/settings_import.h"

#include <gtest/gtest.h>

#include "config/memory_settings_store.h"
#include "config/settings_export.h"

namespace quillon {
namespace {

constexpr const char* kHead = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kavo\\Vessa_Quillon]\r\n";

void ExpectSameValues(const SettingsStore& a, const SettingsStore& b) {
    const auto left = a.Enumerate();
    const auto right = b.Enumerate();
    ASSERT_EQ(left.size(), right.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
        SCOPED_TRACE(left[i].name);
        EXPECT_EQ(left[i].name, right[i].name);
        EXPECT_EQ(left[i].type, right[i].type);
        EXPECT_EQ(left[i].dword, right[i].dword);
        EXPECT_EQ(left[i].text, right[i].text);
        EXPECT_EQ(left[i].binary, right[i].binary);
    }
}

TEST(SettingsImportTest, WhatTheExportWroteComesBackIdentical) {
    MemorySettingsStore original;
    original.WriteInt("ConnectMode", 3);
    original.WriteInt("Key0", -1);
    original.WriteText("LastFilePath", "C:\\img\\a \"quoted\" \\\\ name.bin");
    original.WriteText("SectorOffset", "");
    // The whole literal, embedded NUL included (21 characters).
    original.WriteText("Note", std::string("line\r\nbreak and \0 nul", 21));
    original.WriteBinary("ExtraECChipID", {});
    original.WriteBinary("Blob", {0x00, 0x1F, 0xAB, 0xFF});
    original.WriteText("AssignedAddress", "1E000");

    const auto text = RegistryExportText(RegistryExportLines(original));
    const RegistryImport import = ParseRegistryImport(text);
    ASSERT_FALSE(import.problem) << import.problem->line << ": " << import.problem->reason;
    MemorySettingsStore copy;
    StoreRegistryImport(import, copy);
    ExpectSameValues(original, copy);
}

TEST(SettingsImportTest, AcceptsWhatTheRegistryEditorAllows) {
    const std::string text = std::string("REGEDIT4\n\n; a comment\n") +
                             "[hkey_local_machine\\software\\kavo\\vessa_quillon]\n"
                             "\"SpecialForm\"=DWORD:0000000a\n"
                             "\"ExtraECChipID\"=hex:01,02,\\\n  03\n";
    const RegistryImport import = ParseRegistryImport(text);
    ASSERT_FALSE(import.problem) << import.problem->reason;
    ASSERT_EQ(import.values.size(), 2u);
    EXPECT_EQ(import.values[0].dword, 10);
    EXPECT_EQ(import.values[1].binary, (std::vector<uint8_t>{1, 2, 3}));
}

struct BadFile {
    std::string text;
    int line;
    std::string reasonPart;
};

TEST(SettingsImportTest, RefusesTheFirstBadLineAndKeepsNothing) {
    const std::vector<BadFile> cases = {
        {"", 1, "empty"},
        {"Windows Registry Editor Version 5.00\r\n", 1, "REGEDIT4"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n", 2, "is not"},
        {std::string(kHead) + "\"ConnectMode\"=dword:2\r\n", 3, "eight"},
        {std::string(kHead) + "\"ConnectMode\"=dword:0000000G\r\n", 3, "hexadecimal"},
        {std::string(kHead) + "\"ConnectMode\"=\"2\"\r\n", 3, "must be a dword"},
        {std::string(kHead) + "\"LastFilePath\"=dword:00000001\r\n", 3, "must be a string"},
        {std::string(kHead) + "\"ExtraECChipID\"=\"x\"\r\n", 3, "must be binary"},
        {std::string(kHead) + "\"Allocation\"=dword:00000002\r\nExtraECChipID\r\n", 4,
         "quoted name"},
        {std::string(kHead) + "\"Text\"=\"open\r\n", 3, "not closed"},
        {std::string(kHead) + "\"Text\"=\"a\\q\"\r\n", 3, "escape"},
        {std::string(kHead) + "\"Blob\"=hex:01,2\r\n", 3, "byte"},
        {std::string(kHead) + "\"Text\"=hex(1):41,42\r\n", 3, "00"},
        {std::string(kHead) + "\"Multi\"=hex(7):41,00,00\r\n", 3, "hex(7)"},
        {std::string(kHead) + "\"Gone\"=-\r\n", 3, "deleting"},
        {"REGEDIT4\r\n\"ConnectMode\"=dword:00000002\r\n", 2, "before the key"},
        {"REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kavo\\Vessa_Quillon]\r\n", 2, "deleting"},
        {"REGEDIT4\r\n", 1, "no key line"},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.text);
        const RegistryImport import = ParseRegistryImport(bad.text);
        ASSERT_TRUE(import.problem);
        EXPECT_EQ(import.problem->line, bad.line);
        EXPECT_NE(import.problem->reason.find(bad.reasonPart), std::string::npos)
            << import.problem->reason;
        EXPECT_TRUE(import.values.empty());
        MemorySettingsStore store;
        EXPECT_THROW(StoreRegistryImport(import, store), std::logic_error);
        EXPECT_TRUE(store.Enumerate().empty());
    }
}

}  // namespace
}  // namespace quillon
