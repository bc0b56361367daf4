// Our INI reader and writer against the system's profile functions (GetPrivateProfile*A,
// WritePrivateProfileStringA) over hand-made and generated parameter files.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "config/ini_profile.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr DWORD kBufferSize = 1 << 20;
const char* const kDefault = "<default>";

std::vector<std::string> SplitNulList(const std::vector<char>& buffer, DWORD length) {
    std::vector<std::string> items;
    std::string item;
    for (DWORD i = 0; i < length; ++i) {
        if (buffer[i] == '\0') {
            items.push_back(item);
            item.clear();
        } else {
            item += buffer[i];
        }
    }
    return items;
}

std::vector<std::string> SystemSectionNames(const std::string& file) {
    std::vector<char> buffer(kBufferSize);
    const DWORD length = ::GetPrivateProfileSectionNamesA(buffer.data(), kBufferSize, file.c_str());
    return SplitNulList(buffer, length);
}

std::vector<std::string> SystemSection(const std::string& file, const std::string& section) {
    std::vector<char> buffer(kBufferSize);
    const DWORD length =
        ::GetPrivateProfileSectionA(section.c_str(), buffer.data(), kBufferSize, file.c_str());
    return SplitNulList(buffer, length);
}

std::string SystemRead(const std::string& file, const std::string& section,
                       const std::string& key) {
    std::vector<char> buffer(kBufferSize);
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), kDefault,
                                                    buffer.data(), kBufferSize, file.c_str());
    return std::string(buffer.data(), length);
}

// The system's quote rule for a key read: one matching pair of ' or " around the value.
std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string Shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Shown(const std::vector<std::string>& items) {
    std::string out = "{";
    for (const auto& item : items) {
        out += "\"" + Shown(item) + "\" ";
    }
    return out + "}";
}

class Differential {
public:
    explicit Differential(const TempDir& dir) : dir_(dir) {}

    // Compares every reading of one file's text; a difference is noted with the text.
    void CompareReads(const std::string& text, const std::string& label) {
        const std::string file = NewFile(text);
        CompareFile(file, file, label + " text=\"" + Shown(text) + "\"");
    }

    // Writes one key both ways into copies of the text and compares what both read back.
    void CompareWrite(const std::string& text, const std::string& section, const std::string& key,
                      const std::string& value, const std::string& label) {
        const std::string theirs = NewFile(text);
        const std::string ours = NewFile(text);
        ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), theirs.c_str());
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, theirs.c_str());  // flush
        const IniWriteResult written = WriteIniValue(ours, section, key, value);
        if (!written.ok) {
            Note(label + ": our write failed: " + written.error);
            return;
        }
        CompareFile(theirs, ours,
                    label + " write [" + section + "] " + key + "=" + Shown(value) + " into \"" +
                        Shown(text) + "\"");
    }

    const std::vector<std::string>& Differences() const { return differences_; }
    int Compared() const { return compared_; }

private:
    std::string NewFile(const std::string& text) {
        const auto path = dir_.Path() / ("f" + std::to_string(counter_++) + ".ini");
        WriteFileBytes(path, text);
        return path.string();
    }

    // The system reads `system`, our reader reads `ours`.
    void CompareFile(const std::string& system, const std::string& ours, const std::string& label) {
        ++compared_;
        const IniDocument document = LoadIniFile(ours);
        const auto names = SystemSectionNames(system);
        if (names != document.SectionNames()) {
            Note(label + ": section names " + Shown(names) + " vs ours " +
                 Shown(document.SectionNames()));
        }
        std::set<std::string> sections(names.begin(), names.end());
        for (const char* extra : {"S1", "s1", " S1 ", "S2", "S3", "S3]x", "S4", ""}) {
            sections.insert(extra);
        }
        for (const auto& section : sections) {
            std::vector<std::string> theirs;
            // The whole listing read by the rule "key before the first '=', value after it":
            // a bare line is an empty key and the whole line.
            std::vector<std::string> theirsListed;
            std::set<std::string> keys = {"k1", "K1", "k2", "k3", "k4", "k5", "#k"};
            for (const auto& line : SystemSection(system, section)) {
                const auto equals = line.find('=');
                if (equals == std::string::npos) {
                    theirsListed.push_back("=" + line);
                    continue;  // a bare line: the key read gives the default for it
                }
                theirs.push_back(line.substr(0, equals) + "=" + Unquoted(line.substr(equals + 1)));
                theirsListed.push_back(theirs.back());
                keys.insert(line.substr(0, equals));
            }
            std::vector<std::string> mine;
            for (const auto& entry : document.SectionEntries(section)) {
                mine.push_back(entry.key + "=" + entry.value);
            }
            if (theirs != mine) {
                Note(label + ": section [" + Shown(section) + "] " + Shown(theirs) + " vs ours " +
                     Shown(mine));
            }
            std::vector<std::string> mineListed;
            for (const auto& entry : document.SectionLines(section)) {
                mineListed.push_back(entry.key + "=" + entry.value);
            }
            if (theirsListed != mineListed) {
                Note(label + ": listing of [" + Shown(section) + "] " + Shown(theirsListed) +
                     " vs ours " + Shown(mineListed));
            }
            for (const auto& key : keys) {
                if (key.empty()) {
                    continue;  // an empty key name asks for the key list
                }
                const std::string expected = SystemRead(system, section, key);
                const std::string actual = document.Read(section, key, kDefault);
                if (expected != actual) {
                    Note(label + ": [" + Shown(section) + "] " + Shown(key) + " = \"" +
                         Shown(expected) + "\" vs ours \"" + Shown(actual) + "\"");
                }
            }
        }
    }

    void Note(const std::string& difference) { differences_.push_back(difference); }

    const TempDir& dir_;
    int counter_ = 0;
    int compared_ = 0;
    std::vector<std::string> differences_;
};

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

const char* const kHandMade[] = {
    "[S1]\r\nk1=v\r\n",
    "\xEF\xBB\xBF[S1]\r\nk1=v\r\n[S2]\r\nk2=w\r\n",  // saved by Notepad
    "[S1]\r\nk1=v\x1A",                              // DOS end-of-file mark
    "[S1]\r\nk1=v\r\r\nk2=w\r\r\n",                  // doubled CR
    "[S1]\nk1=1\n[S2]\nk2=2\n[s1]\nk3=3\n",          // repeated section
    "  [ S1 ]  \n  k1  =  v w  \n",
    "[S1]\rk1=v\rk2=w\r",  // CR line ends only
    "[S1]\nk1=a\rk2=b\n",  // CR inside an LF file
    "[S1]\n;k1=c\nk1=v\n#k=h\n",
    "[S1]\nk1=\"q\"\nk2='q'\nk3=\"q'\nk4=\"\n",
    "[S2\nk1=v\n[S1]\nk2=w\n",  // unterminated header
    "[S3]x]\nk1=v\n",           // two closing brackets
    "[S1] tail\nk1=v\n",
    "k1=before\n[S1]\nk1=v\n",
    "[S1]\nbare line\n=orphan\nk1=v\n",
    "[Index]\r\n1=Acme\r\nBolt\r\n  Core Tech  \r\n2=\r\n",  // manufacturer index with bare lines
    "[]\nk1=v\n[S1]\nk2=w\n",
    "[S1]\n\tk1\t=\tv\t\n\x0Bk2\x0C=\x0Cw\x0B\n",
    "[S1]\nk1=\x01v\x01\n",
    "[S1]\nk1=v\xA0\n\xA0k2=w\n",
};

TEST(IniDifferential, HandMadeFilesReadAsTheSystemReadsThem) {
    TempDir dir;
    Differential check(dir);
    int index = 0;
    for (const char* text : kHandMade) {
        check.CompareReads(text, "hand-made " + std::to_string(index++));
    }
    check.CompareReads(Utf16("[S1]\r\nk1=v\r\n[S2]\r\nk2=w\r\n", false), "UTF-16LE");
    check.CompareReads(Utf16("[S1]\r\nk1=v\r\n", true), "UTF-16BE");
    check.CompareReads("[S1]\nk1=" + std::string(5000, 'x') + "\n", "long line");
    for (const auto& difference : check.Differences()) {
        ADD_FAILURE() << difference;
    }
}

// True when a header's name is empty or only blanks and control characters ("[]", "[\x1A]").
bool HasBlankHeader(const std::string& text) {
    for (std::size_t open = text.find('['); open != std::string::npos;
         open = text.find('[', open + 1)) {
        const std::size_t close = text.find_first_of("]\r\n", open + 1);
        if (close == std::string::npos || text[close] != ']') {
            continue;
        }
        const bool blank = std::all_of(
            text.begin() + static_cast<std::ptrdiff_t>(open) + 1,
            text.begin() + static_cast<std::ptrdiff_t>(close),
            [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == '\x7F'; });
        if (blank) {
            return true;
        }
    }
    return false;
}

// Random files from the pieces a parameter file can meet.
std::string GeneratedFile(std::mt19937& random) {
    static const std::string kLines[] = {
        "[S1]", "[s1]",   "[ S1 ]",   "[S2]",   "[S2", "[S3]x]", "[S4] ; c",
        "[]",   "k1=v",   " K1 = w ", "k2=a=b", "=v",  "k3",     ";k1=c",
        "#k=h", "k4='x'", "k5=\"y\"", "k1=\"",  "",    "  ",     "k2=" + std::string(300, 'z')};
    static const char* const kBreaks[] = {"\n", "\r\n", "\r", "\r\r\n", "\n\r"};
    static const char kNoise[] = {'\t', '\x1A', '\x0B', '\x0C', '\x01', ' ', '\x7F'};
    std::string text;
    if (random() % 8 == 0) {
        text = "\xEF\xBB\xBF";
    }
    const int lines = static_cast<int>(random() % 12);
    for (int i = 0; i < lines; ++i) {
        std::string line = kLines[random() % std::size(kLines)];
        if (random() % 5 == 0) {
            line.insert(random() % (line.size() + 1), 1, kNoise[random() % std::size(kNoise)]);
        }
        text += line;
        text += kBreaks[random() % 3 == 0 ? random() % std::size(kBreaks) : 0];
    }
    return text;
}

TEST(IniDifferential, GeneratedFilesReadAndWriteAsTheSystemDoes) {
    TempDir dir;
    Differential check(dir);
    std::mt19937 random(20261207);
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i) {
        const std::string text = GeneratedFile(random);
        check.CompareReads(text, "generated " + std::to_string(i));
        // The system's writer rewrites the whole file and drops a header with no name ("[]",
        // or only a control character), so that the lines under it join those before the
        // first header; ours changes only the line it writes. Such files are compared by
        // reading only.
        if (i % 4 == 0 && !HasBlankHeader(text)) {
            static const char* const kSections[] = {"S1", "s1", "S2", "S5"};
            static const char* const kKeys[] = {"k1", "K2", "k9"};
            static const char* const kValues[] = {"new", "", "a b"};
            check.CompareWrite(text, kSections[random() % 4], kKeys[random() % 3],
                               kValues[random() % 3], "generated " + std::to_string(i));
        }
    }
    constexpr std::size_t kShown = 25;
    for (std::size_t i = 0; i < check.Differences().size() && i < kShown; ++i) {
        ADD_FAILURE() << check.Differences()[i];
    }
    EXPECT_EQ(check.Differences().size(), 0u) << "of " << check.Compared() << " files";
}

}  // namespace
}  // namespace quillon
