#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quillon::cli {

// "Erase    [#########           ]  45 %": an operation's label and its gauge as one line.
std::string ProgressBarLine(const std::string& label, int percent);

// Whether `stream` is a terminal that takes cursor controls (not a pipe, a file, or a
// terminal that calls itself "dumb").
bool IsCursorTerminal(std::FILE* stream);

// The live lines at the foot of a terminal: drawn below everything printed so far and
// redrawn in place, while ordinary lines are printed above them and scroll by. A live line
// is cut to the terminal's width so that it takes exactly one row, and the rows can be
// counted back when they are redrawn.
// The controls are the ECMA-48 ones every terminal emulator in use understands (CR, cursor
// up, erase below); a terminfo library would add a dependency for these three sequences.
class LiveLines {
public:
    explicit LiveLines(std::FILE* terminal) : terminal_(terminal) {}
    ~LiveLines();
    LiveLines(const LiveLines&) = delete;
    LiveLines& operator=(const LiveLines&) = delete;

    // Prints `above` whole on `stream` (this terminal, or another stream on the same screen)
    // above the live lines, then shows `live` as the live lines; nothing is redrawn when
    // nothing changed.
    void Update(std::FILE* stream, const std::vector<std::string>& above,
                const std::vector<std::string>& live);

private:
    void Erase();
    void Draw();

    std::FILE* terminal_;
    std::vector<std::string> lines_;
    std::size_t rowsDrawn_ = 0;
};

}  // namespace quillon::cli
