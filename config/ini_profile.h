#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

// One key=value line of a section, blanks around key and value dropped and one pair of
// matching quotes around the value removed.
struct IniEntry {
    std::string key;
    std::string value;
};

// Result of a write: on failure the file on disk is unchanged and `error` says what and where.
struct IniWriteResult {
    bool ok = false;
    std::string error;
};

// Files larger than this read as empty and are never rewritten: a parameter file is a few
// kilobytes, and reading something far bigger (a stray image, a device node) would only stall.
inline constexpr std::size_t kMaxIniFileBytes = 16u * 1024u * 1024u;

// The text of one INI file with the rules of the Windows profile reader:
// - a UTF-8 byte-order mark is skipped; a UTF-16 file (little or big endian, with its mark)
//   is read as UTF-8 and written back as UTF-16; any other file is taken byte for byte;
// - a line ends at a CR, an LF or a CR LF;
// - blanks are the C white-space characters and the DOS end-of-file mark (^Z); they are
//   dropped around lines, names and values, and around the names asked for;
// - a line "[...]" with a closing bracket starts a section named by what lies between the
//   first "[" and the last "]"; a "[" line without "]" is an ordinary line;
// - section and key names compare without regard to letter case; the first match wins, and
//   a section name that occurs twice is listed twice;
// - a value wrapped in one matching pair of double or single quotes loses them;
// - a line whose first non-blank character is ";" is a comment; "#" and ";" later in a line
//   belong to the value; an indented line is an ordinary line (no continuation lines);
// - a line that is neither a section header nor holds "=" is a bare line: no key reads it, and
//   the section listing gives it whole.
// The original bytes are kept, so a write changes only the line it concerns.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string text);

    // The file's bytes, in the file's own encoding.
    std::string Text() const;

    // Why LoadIniFile could not read a file that is there (not a regular file, too large, no
    // permission), in words that name the file; empty when it was read or does not exist.
    const std::string& LoadProblem() const { return loadProblem_; }

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string Read(std::string_view section, std::string_view key,
                     std::string_view defaultValue) const;
    bool HasSection(std::string_view section) const;
    // Section names in file order, each header once, so a repeated name is listed again.
    std::vector<std::string> SectionNames() const;
    // The key=value lines of the (first) section of that name, in file order.
    std::vector<IniEntry> SectionEntries(std::string_view section) const;
    // Every line of that section as the platform's section listing gives it, in file order:
    // the key=value lines, and the bare lines (without "="), read by the rule "the key is the
    // text before the first '=', the value the text after it" that a line without "=" meets
    // as an empty key and the whole line (trimmed) as its value.
    std::vector<IniEntry> SectionLines(std::string_view section) const;

    // Sets one key: an existing key keeps its line, position and spelling; a new key goes
    // after the last key of its section; a new section goes at the end of the text. The
    // rest of the text stays byte for byte. Names or values that would break the line
    // structure (line breaks, "]" in a section name, "=" in a key) are refused.
    IniWriteResult Write(std::string_view section, std::string_view key, std::string_view value);

private:
    enum class LineKind { Blank, Comment, Section, Entry, Bare, Malformed };
    enum class Encoding { Bytes, Utf16Le, Utf16Be };
    // Part of text_, by position: a line costs no copies of its text.
    struct Span {
        std::size_t at = 0;
        std::size_t size = 0;
    };
    struct Line {
        std::size_t begin = 0;       // first byte of the line
        std::size_t contentEnd = 0;  // end of the text before the line break
        std::size_t end = 0;         // after the line break
        LineKind kind = LineKind::Blank;
        Span name;   // section name, key, or the whole bare line
        Span value;  // entry value, trimmed and unquoted
        std::size_t keyBegin = 0;
    };
    struct Section {
        std::string name;
        std::size_t headerLine = 0;  // unused for the nameless part before the first header
        std::size_t first = 0;       // the section's lines: [first, end)
        std::size_t end = 0;
    };

    void Parse();
    Span SpanOf(std::string_view part) const;
    std::string_view View(Span span) const {
        return std::string_view(text_).substr(span.at, span.size);
    }
    // The first section of that name; the lines before the first header form a nameless
    // section, which "" finds.
    const Section* FindSection(std::string_view name) const;
    // The section's entries in file order; with bare lines, each as an entry with no name.
    std::vector<IniEntry> Collect(std::string_view section, bool withBareLines) const;
    const Line* FindEntry(const Section& section, std::string_view key) const;
    std::string LineBreak() const;

    std::string text_;  // UTF-8 for a UTF-16 file
    Encoding encoding_ = Encoding::Bytes;
    std::size_t start_ = 0;  // after a UTF-8 byte-order mark
    std::vector<Line> lines_;
    std::vector<Section> sections_;  // every header, in file order
    // The first section of each name, by its name in lower case: a look-up costs the same
    // in a file of a hundred thousand sections as in one of ten.
    std::unordered_map<std::string, std::size_t> firstSection_;
    std::string loadProblem_;

    friend IniDocument LoadIniFile(const std::filesystem::path& path);
};

// Reads a whole file as an INI document. A missing, unreadable, oversized or non-regular file
// reads as an empty document, as the profile reader treats an absent file; LoadProblem() of
// the document says why a file that is there was not read.
IniDocument LoadIniFile(const std::filesystem::path& path);

// Writes one key into the file in place and replaces the file atomically (temporary file in the
// same folder, flushed, renamed over the old one). A file that exists but cannot be read is
// never overwritten.
IniWriteResult WriteIniValue(const std::filesystem::path& path, std::string_view section,
                             std::string_view key, std::string_view value);

// One key of a write that sets several keys together.
struct IniValueWrite {
    std::string_view section;
    std::string_view key;
    std::string_view value;
};

// Writes several keys, in order, in one atomic replacement of the file: either all of them
// land or the file stays as it was. Same rules as WriteIniValue.
IniWriteResult WriteIniValues(const std::filesystem::path& path,
                              std::span<const IniValueWrite> writes);

// Letter-case-blind comparison of ASCII names, as the profile reader compares them.
bool SameIniName(std::string_view a, std::string_view b);

}  // namespace quillon
