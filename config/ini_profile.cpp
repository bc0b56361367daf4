#include "config/ini_profile.h"

#include "config/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace quillon {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A value that the reader would change (outer blanks, an outer quote pair) is written inside
// double quotes, so that it reads back exactly as given.
std::string QuoteForWrite(std::string_view value) {
    const bool outerBlank =
        !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos);
    const bool outerQuotes =
        value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
    if (outerBlank || outerQuotes) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Owns one POSIX file descriptor.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Close() {
        int rc = 0;
        if (fd_ >= 0) {
            rc = ::close(fd_);
            fd_ = -1;
        }
        return rc;
    }

private:
    int fd_;
};

enum class ReadStatus { Ok, Missing, Failed };

struct FileText {
    ReadStatus status = ReadStatus::Failed;
    std::string text;
    std::string error;
};

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

FileText ReadWholeFile(const std::filesystem::path& path) {
    FileText result;
    // Non-blocking open: a FIFO put in the folder's place must not hang the reader.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.Valid()) {
        const int error = errno;
        result.status = error == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
        result.error = "cannot open " + Quoted(path) + ": " + std::strerror(error);
        return result;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        result.error = "cannot examine " + Quoted(path) + ": " + std::strerror(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = Quoted(path) + " is not a regular file";
        return result;
    }
    if (static_cast<unsigned long long>(info.st_size) > kMaxIniFileBytes) {
        result.error = Quoted(path) + " is larger than " + std::to_string(kMaxIniFileBytes) +
                       " bytes and is not a parameter file";
        return result;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
            return result;
        }
        if (count == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > kMaxIniFileBytes) {  // the file grew while being read
            result.error = Quoted(path) + " is larger than " + std::to_string(kMaxIniFileBytes) +
                           " bytes and is not a parameter file";
            return result;
        }
    }
    result.status = ReadStatus::Ok;
    result.text = std::move(text);
    return result;
}

IniWriteResult Failure(const std::filesystem::path& path, const std::string& why) {
    return {false, "Cannot write " + Quoted(path) + ": " + why + "; the file was left as it was."};
}

// The shared atomic writer: a read-only file is refused, a link is written through, and a
// failure leaves the old file as it was.
IniWriteResult ReplaceFile(const std::filesystem::path& path, std::string_view text) {
    try {
        WriteFileAtomically(path, text);
    } catch (const std::exception& error) {
        return {false, std::string(error.what()) + "; the file was left as it was."};
    }
    return {true, {}};
}

}  // namespace

bool SameIniName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

IniDocument::IniDocument(std::string text) : text_(std::move(text)) {
    Parse();
}

void IniDocument::Parse() {
    lines_.clear();
    sections_.clear();
    std::size_t pos = 0;
    while (pos < text_.size()) {
        Line line;
        line.begin = pos;
        const auto newline = text_.find('\n', pos);
        line.end = newline == std::string::npos ? text_.size() : newline + 1;
        line.contentEnd = newline == std::string::npos ? text_.size() : newline;
        if (line.contentEnd > line.begin && text_[line.contentEnd - 1] == '\r') {
            --line.contentEnd;
        }
        pos = line.end;

        const std::string_view raw(text_.data() + line.begin, line.contentEnd - line.begin);
        const std::string_view content = Trim(raw);
        if (content.empty()) {
            line.kind = LineKind::Blank;
        } else if (content.front() == ';') {
            line.kind = LineKind::Comment;
        } else if (content.front() == '[') {
            const auto close = content.find(']');
            if (close == std::string_view::npos) {
                // An unterminated header still ends the previous section, so its keys do
                // not leak into that section; the section itself cannot be named.
                line.kind = LineKind::BadSection;
            } else {
                line.kind = LineKind::Section;
                line.name = std::string(Trim(content.substr(1, close - 1)));
            }
        } else if (const auto equals = content.find('='); equals != std::string_view::npos) {
            line.kind = LineKind::Entry;
            line.name = std::string(Trim(content.substr(0, equals)));
            line.value = std::string(Unquote(Trim(content.substr(equals + 1))));
            line.keyBegin = static_cast<std::size_t>(content.data() - text_.data());
        } else {
            line.kind = LineKind::Malformed;
        }

        const std::size_t index = lines_.size();
        if (line.kind == LineKind::Section || line.kind == LineKind::BadSection) {
            Section section;
            section.name = line.kind == LineKind::Section ? line.name : std::string();
            section.headerLine = index;
            section.lastLine = index;
            section.named = line.kind == LineKind::Section;
            sections_.push_back(std::move(section));
        } else if (!sections_.empty()) {
            sections_.back().lastLine = index;
        }
        lines_.push_back(std::move(line));
    }
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    for (const auto& section : sections_) {
        if (section.named && SameIniName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

const IniDocument::Line* IniDocument::FindEntry(const Section& section,
                                                std::string_view key) const {
    for (std::size_t i = section.headerLine + 1; i <= section.lastLine && i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Entry && SameIniName(line.name, key)) {
            return &line;
        }
    }
    return nullptr;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    const Line* line = FindEntry(*found, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    return line->value;
}

std::string IniDocument::Read(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    auto value = Find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section) != nullptr;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;  // lower-case names already listed
    for (const auto& section : sections_) {
        if (section.named && seen.insert(LowerCase(section.name)).second) {
            names.push_back(section.name);
        }
    }
    return names;
}

std::vector<IniEntry> IniDocument::SectionEntries(std::string_view section) const {
    std::vector<IniEntry> entries;
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return entries;
    }
    for (std::size_t i = found->headerLine + 1; i <= found->lastLine && i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Entry) {
            entries.push_back({lines_[i].name, lines_[i].value});
        }
    }
    return entries;
}

// New lines take the break style of the file's first line; a new file uses "\n".
std::string IniDocument::LineBreak() const {
    const auto newline = text_.find('\n');
    if (newline != std::string::npos && newline > 0 && text_[newline - 1] == '\r') {
        return "\r\n";
    }
    return "\n";
}

IniWriteResult IniDocument::Write(std::string_view section, std::string_view key,
                                  std::string_view value) {
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    if (sectionName.empty() || HasLineBreak(sectionName) ||
        sectionName.find(']') != std::string_view::npos) {
        return {false, "The section name '" + std::string(section) + "' cannot be written."};
    }
    if (keyName.empty() || HasLineBreak(keyName) || keyName.find('=') != std::string_view::npos ||
        keyName.front() == ';' || keyName.front() == '[') {
        return {false, "The key name '" + std::string(key) + "' cannot be written."};
    }
    if (HasLineBreak(value)) {
        return {false, "The value for '" + std::string(key) + "' holds a line break."};
    }
    const std::string lineBreak = LineBreak();
    const std::string written = QuoteForWrite(value);

    std::string updated;
    const Section* found = FindSection(sectionName);
    if (found == nullptr) {
        updated = text_;
        if (!updated.empty() && updated.back() != '\n') {
            updated += lineBreak;
        }
        updated += "[" + std::string(sectionName) + "]" + lineBreak;
        updated += std::string(keyName) + "=" + written + lineBreak;
    } else if (const Line* line = FindEntry(*found, keyName)) {
        // Keep the indentation and the key as spelt in the file; only the value changes.
        updated = text_.substr(0, line->keyBegin) + line->name + "=" + written +
                  text_.substr(line->contentEnd);
    } else {
        std::size_t after = found->headerLine;
        for (std::size_t i = found->headerLine + 1; i <= found->lastLine; ++i) {
            if (lines_[i].kind == LineKind::Entry) {
                after = i;
            }
        }
        const Line& anchor = lines_[after];
        updated = text_.substr(0, anchor.end);
        if (text_[anchor.end - 1] != '\n') {  // last line of the text, without a break
            updated += lineBreak;
        }
        updated += std::string(keyName) + "=" + written + lineBreak;
        updated += text_.substr(anchor.end);
    }
    text_ = std::move(updated);
    Parse();
    return {true, {}};
}

IniDocument LoadIniFile(const std::filesystem::path& path) {
    FileText file = ReadWholeFile(path);
    if (file.status != ReadStatus::Ok) {
        return IniDocument();
    }
    return IniDocument(std::move(file.text));
}

IniWriteResult WriteIniValue(const std::filesystem::path& path, std::string_view section,
                             std::string_view key, std::string_view value) {
    const IniValueWrite write{section, key, value};
    return WriteIniValues(path, std::span(&write, 1));
}

IniWriteResult WriteIniValues(const std::filesystem::path& path,
                              std::span<const IniValueWrite> writes) {
    FileText file = ReadWholeFile(path);
    if (file.status == ReadStatus::Failed) {
        return Failure(path, file.error);
    }
    IniDocument document(std::move(file.text));
    for (const auto& write : writes) {
        IniWriteResult edit = document.Write(write.section, write.key, write.value);
        if (!edit.ok) {
            return Failure(path, edit.error);
        }
    }
    return ReplaceFile(path, document.Text());
}

}  // namespace quillon
