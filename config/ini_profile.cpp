#include "config/ini_profile.h"

#include "config/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_descriptor.h"

namespace quillon {

namespace {

// The profile reader's blanks: the C white-space characters and the DOS end-of-file mark
// (^Z), which files copied from old media carry at their end.
constexpr std::string_view kBlanks = std::string_view(" \t\n\v\f\r\x1A", 7);

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16 text (after its mark) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    constexpr uint32_t kReplacement = 0xFFFD;
    std::string out;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<uint8_t>(bytes[i]);
        const auto b = static_cast<uint8_t>(bytes[i + 1]);
        return bigEndian ? static_cast<uint32_t>(a << 8 | b) : static_cast<uint32_t>(b << 8 | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                code = kReplacement;
            }
        } else if (code >= 0xD800 && code < 0xE000) {
            code = kReplacement;
        }
        AppendUtf8(out, code);
    }
    return out;
}

// UTF-8 text as UTF-16 with its mark; a byte that is not UTF-8 stands for itself (Latin-1).
std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out(bigEndian ? kUtf16BeMark : kUtf16LeMark);
    const auto put = [&](uint32_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const int length = lead < 0x80         ? 1
                           : (lead >> 5) == 6  ? 2
                           : (lead >> 4) == 14 ? 3
                           : (lead >> 3) == 30 ? 4
                                               : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            valid = (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80;
        }
        if (!valid) {
            put(lead);
            ++i;
            continue;
        }
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            code = code << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        }
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
        i += length;
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
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

std::string LowerName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

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
    const platform::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
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
    text.reserve(static_cast<std::size_t>(info.st_size));
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
    const std::string_view view(text_);
    if (view.starts_with(kUtf16LeMark) || view.starts_with(kUtf16BeMark)) {
        const bool bigEndian = view.starts_with(kUtf16BeMark);
        encoding_ = bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        text_ = Utf16ToUtf8(view.substr(kUtf16LeMark.size()), bigEndian);
    } else if (view.starts_with(kUtf8Mark)) {
        start_ = kUtf8Mark.size();
    }
    Parse();
}

std::string IniDocument::Text() const {
    if (encoding_ == Encoding::Bytes) {
        return text_;
    }
    return Utf8ToUtf16(text_, encoding_ == Encoding::Utf16Be);
}

void IniDocument::Parse() {
    lines_.clear();
    sections_.clear();
    firstSection_.clear();
    // The lines before the first header: a section without a name.
    sections_.push_back(Section{});
    firstSection_.emplace(std::string(), 0);
    // One allocation for the lines of a large file: CR LF, LF and CR files each count right.
    lines_.reserve(std::max(std::count(text_.begin(), text_.end(), '\n'),
                            std::count(text_.begin(), text_.end(), '\r')) +
                   1);
    bool previousNameless = false;
    std::size_t pos = start_;
    while (pos < text_.size()) {
        Line line;
        line.begin = pos;
        // The profile reader's line rule: a line ends at a CR or an LF; CR LF ends it once
        // (the empty line between them is blank anyway).
        const auto newline = text_.find_first_of("\r\n", pos);
        line.contentEnd = newline == std::string::npos ? text_.size() : newline;
        line.end = newline == std::string::npos ? text_.size() : newline + 1;
        if (newline != std::string::npos && text_[newline] == '\r' && line.end < text_.size() &&
            text_[line.end] == '\n') {
            ++line.end;
        }
        pos = line.end;

        const std::string_view raw(text_.data() + line.begin, line.contentEnd - line.begin);
        const std::string_view content = Trim(raw);
        if (content.empty()) {
            line.kind = LineKind::Blank;
        } else if (content.front() == ';') {
            line.kind = LineKind::Comment;
        } else if (const auto close = content.rfind(']');
                   content.front() == '[' && close != std::string_view::npos) {
            // The name is what lies up to the last "]", without blanks around it; a "["
            // line without "]" is an ordinary line of the current section.
            line.kind = LineKind::Section;
            line.name = SpanOf(Trim(content.substr(1, close - 1)));
        } else if (const auto equals = content.find('='); equals != std::string_view::npos) {
            line.kind = LineKind::Entry;
            line.name = SpanOf(Trim(content.substr(0, equals)));
            line.value = SpanOf(Unquote(Trim(content.substr(equals + 1))));
            line.keyBegin = static_cast<std::size_t>(content.data() - text_.data());
        } else {
            line.kind = LineKind::Bare;
            line.name = SpanOf(content);
        }

        // Entries without a key name in a row count once, as the profile reader keeps them.
        if (line.kind == LineKind::Entry && line.name.size == 0 && previousNameless) {
            line.kind = LineKind::Malformed;
        } else if (line.kind != LineKind::Blank) {
            previousNameless = line.kind == LineKind::Entry && line.name.size == 0;
        }
        if (line.kind == LineKind::Section) {
            previousNameless = false;
        }

        const std::size_t index = lines_.size();
        if (line.kind == LineKind::Section) {
            Section section;
            section.name = View(line.name);
            section.headerLine = index;
            section.first = index + 1;
            section.end = index + 1;
            firstSection_.emplace(LowerName(section.name), sections_.size());
            sections_.push_back(std::move(section));
        } else if (!sections_.empty()) {
            sections_.back().end = index + 1;
        }
        lines_.push_back(std::move(line));
    }
}

IniDocument::Span IniDocument::SpanOf(std::string_view part) const {
    if (part.empty()) {
        return {};
    }
    return {static_cast<std::size_t>(part.data() - text_.data()), part.size()};
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    const auto found = firstSection_.find(LowerName(name));
    return found == firstSection_.end() ? nullptr : &sections_[found->second];
}

const IniDocument::Line* IniDocument::FindEntry(const Section& section,
                                                std::string_view key) const {
    key = Trim(key);
    for (std::size_t i = section.first; i < section.end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Entry && SameIniName(View(line.name), key)) {
            return &line;
        }
    }
    return nullptr;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    // A key read drops the blanks around the names asked for; a section listing does not.
    const Section* found = FindSection(Trim(section));
    if (found == nullptr) {
        return std::nullopt;
    }
    const Line* line = FindEntry(*found, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    return std::string(View(line->value));
}

std::string IniDocument::Read(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    auto value = Find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(Trim(section)) != nullptr;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const auto& section : sections_) {
        if (!section.name.empty()) {
            names.push_back(section.name);
        }
    }
    return names;
}

std::vector<IniEntry> IniDocument::SectionEntries(std::string_view section) const {
    return Collect(section, false);
}

std::vector<IniEntry> IniDocument::SectionLines(std::string_view section) const {
    return Collect(section, true);
}

std::vector<IniEntry> IniDocument::Collect(std::string_view section, bool withBareLines) const {
    std::vector<IniEntry> entries;
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return entries;
    }
    for (std::size_t i = found->first; i < found->end; ++i) {
        if (lines_[i].kind == LineKind::Entry) {
            entries.push_back(
                {std::string(View(lines_[i].name)), std::string(View(lines_[i].value))});
        } else if (withBareLines && lines_[i].kind == LineKind::Bare) {
            entries.push_back({"", std::string(View(lines_[i].name))});
        }
    }
    return entries;
}

// New lines take the break style of the file's first line (CR LF, LF, or a lone CR, which
// must stay alone: one LF would join the CR-ended lines before it); a new file uses "\n".
std::string IniDocument::LineBreak() const {
    const auto first = text_.find_first_of("\r\n");
    if (first == std::string::npos || text_[first] == '\n') {
        return "\n";
    }
    return first + 1 < text_.size() && text_[first + 1] == '\n' ? "\r\n" : "\r";
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
        updated = text_.substr(0, line->keyBegin) + std::string(View(line->name)) + "=" + written +
                  text_.substr(line->contentEnd);
    } else {
        // After the section's last listed line: a bare line counts, as the listing shows it.
        std::size_t after = found->headerLine;
        for (std::size_t i = found->first; i < found->end; ++i) {
            if (lines_[i].kind == LineKind::Entry || lines_[i].kind == LineKind::Bare) {
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
        IniDocument empty;
        if (file.status == ReadStatus::Failed) {
            empty.loadProblem_ = std::move(file.error);
        }
        return empty;
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
