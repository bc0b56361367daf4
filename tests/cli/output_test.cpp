#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cli_panel.h"
#include "records/run_record.h"
#include "runtime/message_log.h"
#include "runtime/operation_frame_lines.h"
#include "tests/cli/terminal_screen.h"
#include "tests/support/temp_dir.h"

namespace quillon::cli {
namespace {

// A FILE* over a memory buffer, read back as text.
class Capture {
public:
    Capture() : file_(open_memstream(&data_, &size_)) {}
    ~Capture() {
        std::fclose(file_);
        std::free(data_);
    }
    std::FILE* File() { return file_; }
    std::string Text() {
        std::fflush(file_);
        return {data_, size_};
    }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

TEST(CliPanelTest, PrintsEachLogLineOnceItIsFinal) {
    Capture out, err;
    CliPanel panel(out.File(), err.File(), false);
    MessageLog log(panel);
    log.Append("Erase Flash ---> Erasing...");
    EXPECT_EQ(out.Text(), "");  // not final yet
    log.ReplaceLast("Erase Flash ---> OK ! 0");
    log.Append("Check Flash be cleared ---> Checking...");
    log.ReplaceLast("Check Flash be cleared ---> Failure ! 0");
    log.Append("Error 3 bytes");
    panel.ShowMessage(MessageKind::Warning, "Warning", "Please Open BIN File First !");
    panel.SetStatusText(StatusPanel::Target, "EC/KBS Power-On");
    panel.SetProgress(50);
    panel.SetProgress(50);
    panel.FlushLog();
    EXPECT_EQ(out.Text(),
              "Erase Flash ---> OK ! 0\nCheck Flash be cleared ---> Failure ! 0\nError 3 bytes\n");
    EXPECT_EQ(
        err.Text(),
        "Warning: Please Open BIN File First !\nStatus target: EC/KBS Power-On\nGauge: 50%\n");
}

TEST(CliPanelTest, LinesRewrittenFromTheEndArePrintedAsTheyEndUp) {
    Capture out, err;
    CliPanel panel(out.File(), err.File(), false);
    MessageLog log(panel);
    log.Append("Start");
    for (const char* line : {"Erase  : ", "Check  : ", "Program: ", "Check  : "}) {
        log.Append(line);
    }
    log.ReplaceFromEnd(3, "Erase  : 2 Block");
    log.ReplaceFromEnd(2, "Check  : 2 Block");
    log.ReplaceFromEnd(1, "Program: 2 Block");
    log.ReplaceFromEnd(0, "Check  : 2 Block");
    EXPECT_EQ(out.Text(), "Start\n");
    log.Append("Auto Flash ---> OK !");
    panel.FlushLog();
    EXPECT_EQ(out.Text(),
              "Start\nErase  : 2 Block\nCheck  : 2 Block\nProgram: 2 Block\nCheck  : 2 Block\n"
              "Auto Flash ---> OK !\n");
}

TEST(CliPanelTest, JsonModeWritesOneObjectPerEvent) {
    Capture out, err;
    CliPanel panel(out.File(), err.File(), true);
    MessageLog log(panel);
    log.Append("Load \"a\\b\"");
    log.ReplaceLast("done\t!");
    panel.ShowMessage(MessageKind::Error, "KavoEC_Quillon", "bad\nvalue");
    panel.SetStatusText(StatusPanel::Board, "USB Device 'Vessa' Plug-In");
    panel.SetProgress(100);
    panel.ActionDone("get", "ok", 0.25, std::string("2"));
    panel.ActionDone("erase", "failed", 1.5, std::nullopt);
    panel.OperationStarted("Verify Flash with buffer", "Verify");
    panel.OperationEnded("Verify Flash with buffer",
                         {StepResult::Failed, 41, 3, "3 bytes wrong", 1.2504});
    panel.OperationEnded("Auto Flash", StepReport::Done());
    panel.FlushLog();
    EXPECT_EQ(out.Text(),
              "{\"event\":\"append\",\"line\":\"Load \\\"a\\\\b\\\"\"}\n"
              "{\"event\":\"replace\",\"line\":\"done\\t!\"}\n"
              "{\"event\":\"box\",\"kind\":\"error\",\"title\":\"KavoEC_Quillon\","
              "\"text\":\"bad\\nvalue\"}\n"
              "{\"event\":\"status\",\"panel\":\"board\",\"text\":\"USB Device 'Vessa' Plug-In\"}\n"
              "{\"event\":\"gauge\",\"percent\":100}\n"
              "{\"event\":\"action\",\"name\":\"get\",\"result\":\"ok\",\"seconds\":0.25,"
              "\"value\":\"2\"}\n"
              "{\"event\":\"action\",\"name\":\"erase\",\"result\":\"failed\",\"seconds\":1.5}\n"
              "{\"event\":\"started\",\"name\":\"Verify Flash with buffer\",\"label\":\"Verify\"}\n"
              "{\"event\":\"ended\",\"name\":\"Verify Flash with buffer\",\"result\":\"failed\","
              "\"retries\":41,\"errors\":3,\"cause\":\"3 bytes wrong\",\"seconds\":1.25}\n"
              "{\"event\":\"ended\",\"name\":\"Auto Flash\",\"result\":\"ok\",\"retries\":0,"
              "\"errors\":0,\"cause\":\"\",\"seconds\":0.0}\n");
    EXPECT_EQ(err.Text(), "");
}

// One operation on a terminal: its progress line is its label and gauge, redrawn in place
// (also when the gauge goes back), until its outcome line takes that row; the lines of the
// block process, rewritten from the end, show as they end up.
TEST(CliPanelTest, ATerminalShowsEachOperationAsOneLineItsOutcomeEnds) {
    const auto run = [](CliPanel& panel) {
        MessageLog log(panel);
        log.Append("Chip ID=8458 : Version=01");
        OperationLines erase(panel, log);
        erase.Begin("Erase Flash", "Erasing...");
        panel.SetProgress(45);
        panel.SetProgress(100);
        panel.SetProgress(0);
        panel.SetProgress(10);
        panel.ShowMessage(MessageKind::Warning, "Warning", "x");
        // A line below the outcome line does not keep the outcome from the terminal.
        erase.End(StepReport{StepResult::Failed, 0, 3, "", 0.0}, "0", {ErrorsLine(3)});
        for (const char* line : {"Erase  : ", "Check  : ", "Program: ", "Check  : "}) {
            log.Append(line);
        }
        log.ReplaceFromEnd(3, "Erase  : 2 Block");
        log.ReplaceFromEnd(0, "Check  : 2 Block");
        // A line shaped like a progress line is only a line: the events say what runs.
        log.Append("Fast Flash ---> 3 of 8 ...");
        OperationLines read(panel, log);
        read.Begin("Read Flash to Buffer", "Reading...");
        panel.SetProgress(50);
        panel.FlushLog();  // the run ended during the read
    };
    // Both streams on one terminal.
    Capture screen;
    CliPanel panel(screen.File(), screen.File(), false, Terminals{true, true});
    run(panel);
    const std::string bytes = screen.Text();
    EXPECT_NE(bytes.find("Erase    [#########           ]  45 %"), std::string::npos);
    EXPECT_NE(bytes.find("Erase    [##                  ]  10 %"), std::string::npos);
    EXPECT_EQ(test::ScreenText(bytes),
              "Warning: x\nChip ID=8458 : Version=01\nErase Flash ---> Failure ! 0\n"
              "Error 3 bytes\nErase  : 2 Block\nCheck  : \nProgram: \nCheck  : 2 Block\n"
              "Fast Flash ---> 3 of 8 ...\nRead Flash to Buffer ---> Reading...\n");
    EXPECT_EQ(bytes.find("Fast     ["), std::string::npos);

    // Only standard error on a terminal: the log goes to standard output as ever, the
    // terminal shows the bar, then the outcome.
    Capture out, err;
    CliPanel errOnly(out.File(), err.File(), false, Terminals{false, true});
    run(errOnly);
    EXPECT_EQ(out.Text(),
              "Chip ID=8458 : Version=01\nErase Flash ---> Failure ! 0\nError 3 bytes\n"
              "Erase  : 2 Block\n"
              "Check  : \nProgram: \nCheck  : 2 Block\nFast Flash ---> 3 of 8 ...\n"
              "Read Flash to Buffer ---> Reading...\n");
    EXPECT_EQ(test::ScreenText(err.Text()), "Warning: x\nErase Flash ---> Failure ! 0\n");
    EXPECT_NE(err.Text().find("Read     [##########          ]  50 %"), std::string::npos);
}

// A line that is not valid UTF-8 (a file name in another encoding) still makes valid JSON.
TEST(CliPanelTest, JsonEventsStayValidForAnyBytes) {
    Capture out, err;
    CliPanel panel(out.File(), err.File(), true);
    panel.LogAppended(LogPane::Main, "Open from '/img/caf\xe9.bin'");
    const auto event = nlohmann::json::parse(out.Text());
    EXPECT_EQ(event["event"], "append");
    EXPECT_EQ(event["line"], "Open from '/img/caf\xef\xbf\xbd.bin'");
}

TEST(RunRecordTest, RetriesCrcAndLines) {
    EXPECT_EQ(RecordedRetries({"erase", StepReport::Done(3)}), 3);
    EXPECT_EQ(RecordedRetries({"check", StepReport::Done(0)}), 0);
    EXPECT_EQ(RecordedRetries({"verify", StepReport::Failure("mismatch", 41)}), 41);
    EXPECT_EQ(RecordedRetries({"erase", StepReport::Refusal("no image")}), std::nullopt);
    EXPECT_EQ(RecordedRetries({"block-process", StepReport::Done(5)}), std::nullopt);
    EXPECT_EQ(RecordedRetries({"typeauto", StepReport::Done()}), std::nullopt);
    const std::string check = "123456789";
    EXPECT_EQ(Crc32({check.begin(), check.end()}), 0xCBF43926u);

    RunRecord record;
    record.time = "2026-12-07T09:30:00Z";
    record.action = "auto";
    record.chipCode = "8458";
    record.chipVersion = "01";
    record.flashId = "EF 40 16";
    record.part = "Winbond / W25Q32FV, \"x\"";
    record.imagePath = "/img/a.bin";
    record.imageSize = 131072;
    record.imageCrc32 = 0x0000abcd;
    record.unit.steps = {{"erase", {StepResult::Ok, 2, 0, {}, 1.25}},
                         {"verify", {StepResult::Failed, 0, 3, "3 bytes wrong", 0.5}}};
    record.unit.totalSeconds = 2;
    record.unit.outcome = StepResult::Failed;
    EXPECT_EQ(CsvLine(record),
              "2026-12-07T09:30:00Z,auto,0,8458,01,EF 40 16,\"Winbond / W25Q32FV, \"\"x\"\"\","
              "/img/a.bin,131072,0000abcd,,,,ok,1.250,2,,,,,,,failed,0.500,0,,,,2.000,failed,0\n");
    EXPECT_EQ(JsonLine(record),
              "{\"time\":\"2026-12-07T09:30:00Z\",\"action\":\"auto\",\"pass\":0,"
              "\"chip_code\":\"8458\",\"chip_version\":\"01\",\"flash_id\":\"EF 40 16\","
              "\"part\":\"Winbond / W25Q32FV, \\\"x\\\"\",\"image\":\"/img/a.bin\","
              "\"image_size\":131072,\"image_crc32\":\"0000abcd\",\"steps\":["
              "{\"name\":\"erase\",\"result\":\"ok\",\"seconds\":1.25,\"retries\":2},"
              "{\"name\":\"verify\",\"result\":\"failed\",\"seconds\":0.5,\"retries\":0,"
              "\"cause\":\"3 bytes wrong\"}],"
              "\"total_seconds\":2.0,\"outcome\":\"failed\",\"board\":0}\n");
}

TEST(RunRecordTest, AppendsWithOneHeaderAndNeverRewrites) {
    testing::TempDir dir;
    RunRecord record;
    record.action = "auto";
    const auto csv = dir / "units.csv";
    AppendRecord(csv, record);
    const std::string first = testing::ReadFileBytes(csv);
    AppendRecord(csv, record);
    const std::string both = testing::ReadFileBytes(csv);
    EXPECT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(both, CsvHeader() + CsvLine(record) + CsvLine(record));

    const auto jsonl = dir / "units.jsonl";
    AppendRecord(jsonl, record);
    AppendRecord(jsonl, record);
    EXPECT_EQ(testing::ReadFileBytes(jsonl), JsonLine(record) + JsonLine(record));

    EXPECT_THROW(AppendRecord(dir / "missing" / "x.csv", record), std::runtime_error);
}

}  // namespace
}  // namespace quillon::cli
