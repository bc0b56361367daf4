// Load, reload, Confirm and Save as the operator meets them.
#include "image/file_commands.h"

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "config/flash_type.h"  // ConversionError
#include "image/block_skip_flags.h"
#include "tests/flashtype/write_order_store.h"
#include "tests/image/image_fixture.h"

namespace quillon::test {
namespace {

using ::testing::ElementsAre;

class LoadTest : public ImageTest {};

TEST_F(LoadTest, LoadsRemembersAndMergesTheChosenFile) {
    const auto path = WriteFile("fw.bin", FileBytes(100 * 1024));
    auto context = Context();
    LoadImage(context, path);
    EXPECT_EQ(LoadDialogRequest(settings).filter, "[*.bin]|*.bin|[*.rom]|*.rom|*.*|*.*");
    EXPECT_THAT(panel.mainLog,
                ElementsAre("Load File to Buffer ---> OK !", "Open from '" + path + "'",
                            "Use Block=2  (End:2 - Start:0)", "Start Address = 0x00000000",
                            "Merge File ---> OK !"));
    EXPECT_EQ(settings.ReadText("LastFilePath"), path);
    EXPECT_EQ(settings.ReadText("LastFileName"), "fw.bin");
    EXPECT_EQ(pathText, "fw.bin");
    EXPECT_EQ(pathHint, path);
    EXPECT_EQ(state.imageBuffer.size(), 0x20000u);
    EXPECT_THAT(FlashReads(), ElementsAre(1));
}

TEST_F(LoadTest, UsedBlocksComeFromTheFileUpToThePartSize) {
    settings.WriteInt("ConnectMode", 4);  // the merge leaves the count alone
    flashblock = 2;
    const struct {
        std::size_t size;
        uint32_t blocks;
    } cases[] = {{256 * 1024, 2}, {96 * 1024, 1}, {1000, 0}};
    for (const auto& c : cases) {
        auto context = Context();
        LoadImage(context, WriteFile("f.bin", FileBytes(c.size)));
        EXPECT_EQ(state.usedBlockCount, c.blocks) << c.size;
        EXPECT_EQ(state.imageBuffer, FileBytes(c.size));
    }
    EXPECT_EQ(panel.progress.back(), 100);
}

TEST_F(LoadTest, CancelChangesNothingButTheLogLine) {
    state.imageBuffer = {1, 2, 3};
    state.usedBlockCount = 7;
    pathText = "old.bin";
    auto context = Context();
    LoadImage(context, std::nullopt);  // the dialog was cancelled
    EXPECT_THAT(panel.mainLog, ElementsAre("Load File to Buffer ---> Cancel !"));
    EXPECT_EQ(state.imageBuffer, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(state.usedBlockCount, 7u);
    EXPECT_EQ(pathText, "old.bin");
    EXPECT_FALSE(settings.Exists("LastFilePath"));
}

TEST_F(LoadTest, AnUnreadableFileIsReportedAndTheImageKept) {
    state.imageBuffer = {1, 2, 3};
    const auto missing = (dir / "missing.bin").string();
    const auto fifo = (dir / "fifo.bin").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opening it must not wait for a writer
    const auto empty = (dir / "empty.bin").string();
    quillon::testing::WriteFileBytes(empty, "");
    const auto huge = (dir / "huge.bin").string();
    quillon::testing::WriteFileBytes(huge, "");
    std::filesystem::resize_file(huge, kMaxImageBytes + 1);  // sparse: nothing is written
    const std::vector<std::pair<std::string, std::string>> cases = {
        {missing, "Cannot open file \"" + missing + "\". No such file or directory"},
        {dir.Path().string(), "Is a directory"},
        {fifo, "It is not a regular file"},
        {empty, "The file \"" + empty + "\" is empty"},
        {huge,
         "is 268435457 bytes, larger than the largest part the station can address "
         "(268435456 bytes)"}};
    for (const auto& [chosen, text] : cases) {
        auto context = Context();
        EXPECT_EQ(LoadImage(context, chosen), StepResult::Failed);
        ASSERT_FALSE(panel.boxes.empty());
        EXPECT_EQ(panel.boxes.back().kind, MessageKind::Error);
        EXPECT_NE(panel.boxes.back().text.find(text), std::string::npos) << panel.boxes.back().text;
        // Nothing is said to be loaded.
        EXPECT_EQ(panel.mainLog.back(), "Load File to Buffer ---> Loading...");
    }
    EXPECT_EQ(panel.boxes.size(), cases.size());
    EXPECT_EQ(state.imageBuffer, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(settings.Exists("LastFilePath"));
}

TEST_F(LoadTest, AMergeThatCannotReadItsSettingsLeavesNoUnplacedImage) {
    // A raw file left in the buffer would be programmed from address 0 instead of where the
    // allocation puts it.
    settings.WriteInt("Allocation", 3);
    assignedText = "";  // not a number
    state.imageBuffer = {1, 2, 3};
    state.usedBlockCount = 1;
    state.operationResult = true;
    const auto path = WriteFile("fw.bin", FileBytes(100 * 1024));
    auto context = Context();
    EXPECT_THROW(LoadImage(context, path), ConversionError);
    EXPECT_TRUE(state.imageBuffer.empty());
    EXPECT_EQ(state.usedBlockCount, 0u);
    EXPECT_FALSE(state.operationResult);
    EXPECT_EQ(settings.ReadText("LastFilePath"), path);  // the file itself is fine
}

TEST_F(LoadTest, AStoreThatRefusesTheFileNameDropsTheRawFile) {
    // A store whose file became read-only after it was opened fails the write.
    struct RefusingStore final : SettingsStore {
        explicit RefusingStore(SettingsStore& wrapped) : inner(wrapped) {}
        bool Exists(const std::string& name) const override { return inner.Exists(name); }
        int32_t ReadInt(const std::string& name) const override { return inner.ReadInt(name); }
        std::string ReadText(const std::string& name) const override {
            return inner.ReadText(name);
        }
        std::vector<uint8_t> ReadBinary(const std::string& name) const override {
            return inner.ReadBinary(name);
        }
        void WriteInt(const std::string& name, int32_t value) override {
            inner.WriteInt(name, value);
        }
        void WriteText(const std::string& name, const std::string&) override {
            throw SettingsError("Failed to write data for '" + name + "'");
        }
        void WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override {
            inner.WriteBinary(name, value);
        }
        std::vector<SettingValue> Enumerate() const override { return inner.Enumerate(); }
        SettingsStore& inner;
    } store(settings);
    const auto path = WriteFile("fw.bin", FileBytes(0x20000));
    state.operationResult = true;
    auto context = Context();
    ImageContext refusing{state,      store,           panel,        log,
                          timer,      commands,        identity,     eflash,
                          flashblock, commandModeRead, assignedText, context.pathBox};
    EXPECT_THROW(LoadImage(refusing, path), SettingsError);
    EXPECT_TRUE(state.imageBuffer.empty());  // not left to be written from address 0
    EXPECT_EQ(state.usedBlockCount, 0u);
    EXPECT_FALSE(state.operationResult);
}

class ReloadTest : public ImageTest {};

TEST_F(ReloadTest, WithoutARememberedFileAsksForOne) {
    state.operationResult = true;
    auto context = Context();
    ReloadLastImage(context);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "Please Open BIN File first !");
    EXPECT_TRUE(state.operationResult);
}

TEST_F(ReloadTest, ReloadsAndMergesTheRememberedFile) {
    const auto path = WriteFile("fw.bin", FileBytes(0x10000));
    settings.WriteText("LastFilePath", path);
    auto context = Context();
    ReloadLastImage(context);
    EXPECT_THAT(panel.mainLog,
                ElementsAre("Load File to Buffer ---> OK !", "Open from '" + path + "'",
                            "Use Block=1  (End:1 - Start:0)", "Start Address = 0x00000000",
                            "Merge File ---> OK !"));
    EXPECT_EQ(state.imageBuffer, FileBytes(0x10000));
    EXPECT_TRUE(state.operationResult);
}

TEST_F(ReloadTest, AMissingFileIsForgotten) {
    settings.WriteText("LastFilePath", (dir / "gone.bin").string());
    settings.WriteText("LastFileName", "gone.bin");
    pathText = "gone.bin";
    pathHint = "x";
    state.imageBuffer = FileBytes(0x10000);
    state.usedBlockCount = 1;
    state.operationResult = true;
    auto context = Context();
    ReloadLastImage(context);
    EXPECT_THAT(panel.mainLog, ElementsAre("Can't Find The File , Please Lode File Again !!"));
    EXPECT_EQ(settings.ReadText("LastFilePath"), "");
    EXPECT_EQ(settings.ReadText("LastFileName"), "");
    EXPECT_EQ(pathText + pathHint, "");
    EXPECT_TRUE(state.imageBuffer.empty());
    EXPECT_EQ(state.usedBlockCount, 0u);
    EXPECT_FALSE(state.operationResult);
}

TEST_F(ReloadTest, AMergeThatCannotReadItsSettingsFailsTheReload) {
    settings.WriteInt("Allocation", 3);
    assignedText = "";  // not a number
    settings.WriteText("LastFilePath", WriteFile("fw.bin", FileBytes(100)));
    auto context = Context();
    ReloadLastImage(context);
    EXPECT_EQ(panel.mainLog.back(), "Can't Find The File , Please Lode File Again !!");
    EXPECT_FALSE(state.operationResult);
}

TEST_F(ReloadTest, ARomKeyRejectionHasItsOwnBoxAndForgetsTheFileOnce) {
    // The store records its writes; the station's values are copied over first.
    testing::WriteOrderStore store;
    for (const auto& value : settings.Enumerate()) {
        store.inner.WriteInt(value.name, value.dword);
    }
    store.inner.WriteInt("RomKey", 1);
    SetChip("1FD1");
    eflash.romCodeStart = 0xE000;
    const auto path = WriteFile("main.bin", FileBytes(16 * 1024));
    store.inner.WriteText("LastFilePath", path);
    auto context = Context();
    ImageContext recorded{state,      store,           panel,        log,
                          timer,      commands,        identity,     eflash,
                          flashblock, commandModeRead, assignedText, context.pathBox};
    ReloadLastImage(recorded);
    ASSERT_EQ(panel.boxes.size(), 1u);
    EXPECT_EQ(panel.boxes[0].text, "The Rom Code Size can not more 8K.");
    EXPECT_THAT(panel.mainLog,
                ElementsAre("Load File to Buffer ---> OK !", "Open from '" + path + "'"));
    EXPECT_EQ(store.writes, (std::vector<std::string>{"LastFilePath", "LastFileName"}));
    EXPECT_EQ(store.ReadText("LastFilePath"), "");
    EXPECT_TRUE(state.imageBuffer.empty());
    EXPECT_FALSE(state.operationResult);
}

// A merge that runs but cannot place the file is a failed step wherever it is called from:
// the step result and OperationResult agree, and the file stays remembered.
TEST_F(ReloadTest, AFailedMergeFailsTheReloadButKeepsTheFile) {
    settings.WriteInt("Allocation", 3);
    const auto path = WriteFile("fw.bin", FileBytes(0x8000));
    settings.WriteText("LastFilePath", path);
    sim::FaultRule fault;
    fault.subCommand = 0x02;  // every boundary read fails
    board.AddFault(fault);
    for (const char* start : {"8000", "400000"}) {  // a failed boundary read; beyond the part
        assignedText = start;
        state.operationResult = true;
        panel.mainLog.clear();
        auto context = Context();
        EXPECT_EQ(ReloadLastImage(context), StepResult::Failed) << start;
        EXPECT_FALSE(state.operationResult) << start;
        EXPECT_NE(panel.mainLog.back(), "Can't Find The File , Please Lode File Again !!");
        EXPECT_EQ(settings.ReadText("LastFilePath"), path);

        state.operationResult = true;
        auto startup = Context();
        EXPECT_EQ(ReloadAtStartup(startup, path), StepResult::Failed) << start;
        EXPECT_FALSE(state.operationResult) << start;
    }
}

TEST_F(ReloadTest, AtStartUpAFileThatCannotBeUsedIsRefusedAndAGoodOneIsOk) {
    auto context = Context();
    state.operationResult = true;
    EXPECT_EQ(ReloadAtStartup(context, (dir / "gone.bin").string()), StepResult::Refused);
    EXPECT_FALSE(state.operationResult);
    EXPECT_TRUE(state.imageBuffer.empty());

    const auto path = WriteFile("fw.bin", FileBytes(0x10000));
    EXPECT_EQ(ReloadAtStartup(context, path), StepResult::Ok);
    EXPECT_TRUE(state.operationResult);
    EXPECT_EQ(state.imageBuffer, FileBytes(0x10000));
}

TEST_F(ReloadTest, StepResultsOfLoadAndSaveMatchOperationResult) {
    auto context = Context();
    state.operationResult = true;
    EXPECT_EQ(LoadImage(context, std::nullopt), StepResult::Refused);  // cancelled
    EXPECT_TRUE(state.operationResult);
    EXPECT_EQ(LoadImage(context, WriteFile("fw.bin", FileBytes(0x10000))), StepResult::Ok);
    EXPECT_TRUE(state.operationResult);
    state.readBuffer = FileBytes(0x100);
    EXPECT_THROW(SaveReadBuffer(context, (dir / "missing-folder" / "out.bin").string()),
                 std::exception);  // the handler shows the box
    EXPECT_FALSE(state.operationResult);
}

class ConfirmTest : public ImageTest {
protected:
    void Buffers(std::size_t size, uint32_t blocks) {
        state.imageBuffer = FileBytes(size);
        state.readBuffer = FileBytes(size);
        state.usedBlockCount = blocks;
    }
};

TEST_F(ConfirmTest, RefusesEmptyOrUnequalBuffers) {
    auto context = Context();
    ConfirmImage(context);
    Buffers(0x20000, 2);
    state.readBuffer.resize(0x10000);
    ConfirmImage(context);
    ASSERT_EQ(panel.boxes.size(), 2u);
    EXPECT_EQ(panel.boxes[0].text, "Please Open BIN File or Read Flash First !");
    EXPECT_EQ(panel.boxes[1].text, "File and Buffer Size Can't Match!");
    EXPECT_TRUE(panel.mainLog.empty());
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_FALSE(panel.busy);
}

TEST_F(ConfirmTest, EqualBuffersAreOkBlockByBlock) {
    Buffers(0x20000, 2);
    bool pausedWhileCounting = false;
    panel.onPump = [&] { pausedWhileCounting = !timer.IsEnabled() && panel.busy; };
    auto context = Context();
    ConfirmImage(context);
    EXPECT_THAT(panel.mainLog, ElementsAre("Confirm File and buffer ---> OK !"));
    EXPECT_THAT(panel.progress, ElementsAre(50, 100));
    EXPECT_EQ(panel.pumps, 2);
    EXPECT_TRUE(pausedWhileCounting);
    EXPECT_TRUE(timer.IsEnabled());
    EXPECT_TRUE(state.operationResult);
}

TEST_F(ConfirmTest, CountsDifferingBytesOverTheUsedBlocksOnly) {
    Buffers(0x30000, 2);
    state.readBuffer[0x1FFFF] ^= 1;
    state.readBuffer[0x20000] ^= 1;  // beyond the used blocks
    auto context = Context();
    ConfirmImage(context);
    EXPECT_THAT(panel.mainLog,
                ElementsAre("Confirm File and buffer ---> Failure !", "Error 1 bytes"));
    EXPECT_FALSE(state.operationResult);
}

TEST_F(ConfirmTest, AHalfLastBlockIsComparedOverWhatItHolds) {
    Buffers(96 * 1024, 2);  // a raw image whose last block holds 32 KB
    state.readBuffer[96 * 1024 - 1] ^= 1;
    auto context = Context();
    ConfirmImage(context);
    EXPECT_EQ(panel.mainLog.back(), "Error 1 bytes");
}

class SaveTest : public ImageTest {
protected:
    std::string Save(const std::string& name) {
        const auto path = (dir / name).string();
        auto context = Context();
        SaveReadBuffer(context, path);
        return path;
    }
    std::size_t SavedSize(const std::string& path) {
        return std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0;
    }
};

TEST_F(SaveTest, WritesTheReadBufferRaw) {
    state.readBuffer = FileBytes(0x20000);
    const auto path = Save("read.bin");
    EXPECT_EQ(SaveDialogRequest().filter, "[*.bin]|*.bin|[*.*]|*.*");
    EXPECT_EQ(SaveDialogRequest().proposedName, "KavoBIOS.bin");
    EXPECT_THAT(panel.mainLog,
                ElementsAre("Save Buffer to File ---> OK !", "Save in '" + path + "'"));
    const auto saved = testing::ReadFileBytes(path);
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.end()), FileBytes(0x20000));
}

std::vector<uint8_t> Saved(const std::string& path) {
    const auto bytes = testing::ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

TEST_F(SaveTest, TheReadModeSetsTheSizeAndAddedBytesAreErased) {
    state.readBuffer = FileBytes(0x40000);
    commandModeRead = 129;
    EXPECT_EQ(Saved(Save("a.bin")), FileBytes(256));
    commandModeRead = 130;  // grows the 256 bytes left by the last save
    auto grown = FileBytes(256);
    grown.resize(0x18000, 0xFF);
    EXPECT_EQ(Saved(Save("b.bin")), grown);
    state.readBuffer.clear();  // grown before the emptiness test
    commandModeRead = 128;
    EXPECT_EQ(Saved(Save("c.bin")), std::vector<uint8_t>(0x20000, 0xFF));
    EXPECT_TRUE(panel.boxes.empty());
}

TEST_F(SaveTest, AnEFlashReadIsCutToTheEFlashSize) {
    SetChip("1FD1");
    eflash.internalFlashSelected = true;
    eflash.eFlashSize = 0xE000;
    state.readBuffer = FileBytes(0x10000);
    EXPECT_EQ(SavedSize(Save("cut.bin")), 0xE000u);
    state.readBuffer = FileBytes(0x10000);
    settings.WriteInt("RomKey", 1);
    EXPECT_EQ(SavedSize(Save("romkey.bin")), 0x10000u);
    settings.WriteInt("RomKey", 0);
    eflash.eFlashSize = 0;  // not sized yet: the read is kept whole
    EXPECT_EQ(SavedSize(Save("unsized.bin")), 0x10000u);
}

TEST_F(SaveTest, CancelAndAnEmptyBufferWriteNothing) {
    auto context = Context();
    SaveReadBuffer(context, std::nullopt);  // the dialog was cancelled
    EXPECT_THAT(panel.mainLog, ElementsAre("Save Buffer to File ---> Cancel !"));
    const auto path = Save("empty.bin");
    EXPECT_EQ(panel.boxes.at(0).text, "Please Read Flash First !");
    EXPECT_EQ(panel.mainLog.back(), "Save Buffer to File ---> Cancel !");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SaveTest, AFailedWriteLeavesWhatWasThereAndSaysWhy) {
    state.readBuffer = FileBytes(1024);
    std::filesystem::create_directory(dir / "taken");
    testing::WriteFileBytes(dir / "taken" / "keep.txt", "kept");
    // The error ends the handler (its box names the file); the log keeps "Saving...".
    try {
        Save("taken");
        ADD_FAILURE() << "a folder was replaced by a file";
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr((dir / "taken").string()));
    }
    EXPECT_TRUE(panel.boxes.empty());
    EXPECT_EQ(panel.mainLog.back(), "Save Buffer to File ---> Saving...");
    EXPECT_EQ(testing::ReadFileBytes(dir / "taken" / "keep.txt"), "kept");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);  // no temporary file left behind
}

TEST(BlockSkipFlags, CoverPartsOfAnySize) {
    BlockSkipFlags flags;
    flags.Reset(1024);  // a 64 MiB part
    flags.Set(1000, true);
    EXPECT_TRUE(flags.IsSkipped(1000));
    EXPECT_FALSE(flags.IsSkipped(5000));
    flags.Set(5000, true);  // an image beyond the part grows the flags
    EXPECT_TRUE(flags.IsSkipped(5000));
    flags.Clear(100000);
    EXPECT_FALSE(flags.IsSkipped(1000));
}

}  // namespace
}  // namespace quillon::test
