#include "settings/IniStore.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "util/untCalc1.hpp"

namespace {

constexpr size_t npos = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool BreaksLine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != npos;
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The temporary file of a save: the target's name, this mark and mkstemp's six characters.
constexpr std::string_view kTemporaryMark = ".save-";
constexpr size_t kTemporaryRandomChars = 6;
// A temporary file older than this is no save in progress but the leftover of one that was
// killed.
constexpr time_t kOrphanAgeSeconds = 60;

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file they name, so that a save replaces that file and the
// links stay; a dangling link names the file it would create. Empty when the chain is a loop.
std::string FinalTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) {
            return path;
        }
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    errno = ELOOP;
    return {};
}

bool IsReadOnly(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;  // a missing file is created
    }
    // The owner's write bit counts even for root, who may write anyway: read-only was meant.
    return (info.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0;
}

// A killed save leaves its temporary file behind; the next save clears it away.
void RemoveOrphans(const std::string& target) {
    const std::string prefix = NameOf(target) + std::string(kTemporaryMark);
    const std::string folder = FolderOf(target);
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kTemporaryRandomChars ||
            name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            now - info.st_mtime > kOrphanAgeSeconds) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(listing);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

IniStore::IniStore(std::string path) : path_(std::move(path)) {}

bool IniStore::Load() {
    lines_.clear();
    lastError_.clear();
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return true;
        }
        lastError_ = SystemError("cannot open " + path_);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        lastError_ = "cannot read " + path_ + ": it is a folder";
        return false;
    }
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        lastError_ = SystemError("cannot open " + path_);
        return false;
    }
    try {
        std::ostringstream content;
        content << in.rdbuf();
        std::string text = content.str();
        if (in.bad()) {
            lastError_ = "cannot read " + path_;
            return false;
        }
        SetText(text);
    } catch (const std::exception& error) {
        lines_.clear();
        lastError_ = std::string("cannot read ") + path_ + ": " + error.what();
        return false;
    }
    return true;
}

void IniStore::SetText(std::string_view text) {
    lines_.clear();
    size_t firstBreak = text.find('\n');
    lineEnd_ = (firstBreak != npos && firstBreak > 0 && text[firstBreak - 1] == '\r') ? "\r\n" : "\n";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        Line line{std::string(text.substr(start, end == npos ? npos : end - start)), "\n"};
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.end = "\r\n";
        } else if (end == npos) {
            line.end = lineEnd_;  // the last line had none
        }
        lines_.push_back(std::move(line));
        start = end == npos ? text.size() : end + 1;
    }
}

bool IniStore::IsSectionLine(std::string_view line, std::string& name) {
    std::string_view text = TrimBlanks(line);
    if (text.empty() || text.front() != '[') {
        return false;
    }
    size_t close = text.find(']');
    if (close == npos) {
        return false;
    }
    name = std::string(TrimBlanks(text.substr(1, close - 1)));
    return true;
}

bool IniStore::IsKeyLine(std::string_view line, std::string& key, std::string& value) {
    std::string_view text = TrimBlanks(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') {
        return false;
    }
    size_t equals = text.find('=');
    if (equals == npos) {
        return false;
    }
    key = std::string(TrimBlanks(text.substr(0, equals)));
    value = std::string(TrimBlanks(text.substr(equals + 1)));
    return true;
}

size_t IniStore::FindSection(std::string_view section) const {
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (IsSectionLine(lines_[i].text, name) && SameTextAscii(name, section)) {
            return i;
        }
    }
    return npos;
}

size_t IniStore::SectionEnd(size_t header) const {
    std::string name;
    size_t i = header + 1;
    while (i < lines_.size() && !IsSectionLine(lines_[i].text, name)) {
        ++i;
    }
    return i;
}

size_t IniStore::FindKey(size_t header, std::string_view key) const {
    std::string name;
    std::string value;
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (IsKeyLine(lines_[i].text, name, value) && SameTextAscii(name, key)) {
            return i;
        }
    }
    return npos;
}

std::string IniStore::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    size_t header = FindSection(section);
    size_t line = header == npos ? npos : FindKey(header, key);
    if (line == npos) {
        return std::string(defaultValue);
    }
    std::string name;
    std::string value;
    IsKeyLine(lines_[line].text, name, value);
    if (value.size() > kMaxValueLength) {
        value.resize(kMaxValueLength);
    }
    return value;
}

bool IniStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (BreaksLine(section) || BreaksLine(key) || BreaksLine(value) || key.find('=') != npos ||
        section.find(']') != npos) {
        lastError_ = "a name or value cannot be stored on one line";
        return false;
    }
    std::string line = std::string(key) + "=" + std::string(value);
    size_t header = FindSection(section);
    if (header == npos) {
        if (!lines_.empty() && !TrimBlanks(lines_.back().text).empty()) {
            lines_.push_back(NewLine({}));
        }
        std::string sectionLine(1, '[');
        sectionLine.append(section).push_back(']');
        lines_.push_back(NewLine(std::move(sectionLine)));
        lines_.push_back(NewLine(std::move(line)));
        return true;
    }
    size_t existing = FindKey(header, key);
    if (existing != npos) {
        // The key keeps its own spelling and indentation; only the value changes.
        std::string& text = lines_[existing].text;
        text = text.substr(0, text.find('=') + 1) + std::string(value);
        return true;
    }
    // Append after the section's last non-blank line, so the blank line that separates it from
    // the next section stays where it is.
    size_t insertAt = SectionEnd(header);
    while (insertAt > header + 1 && TrimBlanks(lines_[insertAt - 1].text).empty()) {
        --insertAt;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), NewLine(std::move(line)));
    return true;
}

std::vector<std::string> IniStore::SectionNames() const {
    std::vector<std::string> names;
    std::string name;
    for (const Line& line : lines_) {
        if (IsSectionLine(line.text, name)) {
            names.push_back(name);
        }
    }
    return names;
}

bool IniStore::EraseSection(std::string_view section) {
    const size_t header = FindSection(section);
    if (header == npos) {
        return false;
    }
    size_t end = SectionEnd(header);
    // The blank line that parted it from the one before goes with it, so no gap is left behind.
    size_t begin = header;
    if (end == lines_.size() && begin > 0 && TrimBlanks(lines_[begin - 1].text).empty()) {
        --begin;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(begin),
                 lines_.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
}

std::string IniStore::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.end;
    }
    return text;
}

bool IniStore::Save() {
    lastError_.clear();
    std::string temporary;
    try {
        std::string text = Text();
        const std::string target = FinalTarget(path_);
        if (target.empty()) {
            lastError_ = SystemError("cannot follow " + path_);
            return false;
        }
        if (IsReadOnly(target)) {
            lastError_ = target + " is read-only";
            return false;
        }
        RemoveOrphans(target);
        temporary = target + std::string(kTemporaryMark) + std::string(kTemporaryRandomChars, 'X');
        int fd = ::mkstemp(temporary.data());
        if (fd < 0) {
            lastError_ = SystemError("cannot create a temporary file in " + FolderOf(target));
            return false;
        }
        bool written = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
        if (!written) {
            lastError_ = SystemError("cannot write " + temporary);
        }
        if (::close(fd) != 0 && written) {
            written = false;
            lastError_ = SystemError("cannot close " + temporary);
        }
        if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
            written = false;
            lastError_ = SystemError("cannot replace " + target);
        }
        if (!written) {
            ::unlink(temporary.c_str());
        }
        return written;
    } catch (const std::exception& error) {
        if (!temporary.empty()) {
            ::unlink(temporary.c_str());
        }
        lastError_ = std::string("cannot save ") + path_ + ": " + error.what();
        return false;
    }
}
