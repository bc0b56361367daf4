#include "cli/gang/gang_command.h"

#include <cstdio>
#include <cstdlib>

#include "cli/gang/gang_plan.h"
#include "cli/gang/gang_run.h"
#include "cli/stop_signals.h"
#include "platform/child_process.h"
#include "platform/program_file.h"

namespace quillon::cli {

namespace {

void CheckGang(const CliAction& action) {
    ParseGang(action.args, CliOptions{});
}

int RunGangAction(const AloneRun& run) {
    GangPlan plan;
    try {
        plan = ParseGang(run.action.args, run.options);
    } catch (const UsageError& error) {
        std::fprintf(run.err, "quillon-cli: %s\nTry 'quillon-cli --help'.\n", error.text.c_str());
        return kExitUsage;
    }
    if (const char* shared = std::getenv("QUILLON_SETTINGS");
        shared && *shared && !plan.settingsFolder) {
        std::fputs(
            "quillon-cli: gang: QUILLON_SETTINGS names one settings file, and boards never "
            "share one: give the folder of the boards' files with --settings-dir DIR, or "
            "unset QUILLON_SETTINGS so that each board uses its own default file\n",
            run.err);
        return kExitUsage;
    }
    const auto program = platform::RunningProgramFile();
    if (program.empty()) {
        std::fputs(
            "quillon-cli: gang: the system does not say where this program is, so its "
            "stations cannot be started\n",
            run.err);
        return kExitUnavailable;
    }
    InstallStopSignals();
    return RunGang(plan, program, run.out, run.err);
}

}  // namespace

#ifdef _WIN32
#define QUILLON_GANG_SETTINGS "the key DIR\\board-N"
#else
#define QUILLON_GANG_SETTINGS "DIR/board-N.sqlite"
#endif

const char* GangHelp() {
    return R"(Several boards at once (gang):
  quillon-cli [OPTION]... gang --boards LIST [--settings-dir DIR] [OPTION]...
  ACTION... starts one station per board, all at once: quillon-cli --board N
  with the same options and ACTIONs. A board that fails, hangs or is pulled
  out never stops, slows or changes another board's unit. Board N keeps its
  settings in )" QUILLON_GANG_SETTINGS R"(; without --settings-dir each board uses its
  own default settings (--settings cannot be given, nor QUILLON_SETTINGS
  without --settings-dir: boards never share one). On a terminal one row per
  board shows its step and gauge, then its outcome and time; a summary line
  ends the run ("N units: N OK, N failed, S s in all, N OK units per hour").
  Piped, every line of board N's station is passed on with "[N] " before it
  (standard output and standard error as the station writes them), then the
  summary line. With --json every event of every station carries "board":N,
  and each board ends with
  {"event":"board","result":"ok"|"failed"|"stopped","status":S,"seconds":T,
  "cause":... (when not ok),"board":N}; the summary goes to standard error. A
  line on standard error names each failing board, its exit status and cause.
  Exit status: 0 when every board's unit is OK; else 69 when a board is
  missing, in use or pulled out, else 75 when a board's settings file is in
  use, else 1. An interrupt, SIGTERM or SIGHUP is passed on to every board's
  station, which stops as a single run stops; gang then exits 128 + N.

)";
}

ActionSpec GangAction() {
    return ActionSpec{"gang",
                      ArgShape::Rest,
                      0,
                      CheckGang,
                      false,
                      FileUse::None,
                      "gang --boards LIST [--settings-dir DIR] ACTION...",
                      {"run the same ACTIONs on several boards at once, one",
                       "station per board (quillon-cli --board N); LIST like",
                       "0-7 or 0,2,5 (boards 0 to 15); board N keeps its",
                       "settings in " QUILLON_GANG_SETTINGS " (default: its",
                       "own default); see \"Several boards at once\" below"},
                      nullptr,
                      StdoutUse::Log,
                      RunGangAction};
}

}  // namespace quillon::cli
