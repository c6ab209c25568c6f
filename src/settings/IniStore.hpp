#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// An initialisation file of 8-bit lines held in memory. Sections and keys are matched with
// ASCII letters folded; everything the program does not write (comments, unknown keys, other
// sections) survives a save untouched, byte for byte.
class IniStore {
public:
    // Values longer than this are cut when read, as the settings have always been read.
    static constexpr size_t kMaxValueLength = 2047;

    explicit IniStore(std::string path);

    const std::string& Path() const { return path_; }

    // Reads the file; a file that does not exist is an empty store. False (with the reason in
    // LastError) when the file exists but cannot be read; the store is then empty.
    bool Load();

    // Replaces the store's lines with those of text, read as Load reads the file's bytes.
    void SetText(std::string_view text);

    // The text after the first "=" without surrounding blanks, or the default.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // Replaces the value in place, or appends the key at the end of its section, or the section
    // at the end of the file. False when a name or the value holds a line break or a zero byte,
    // which would change the file's structure; nothing is changed then.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Writes a temporary file beside the target with owner-only permissions and renames it over
    // the target, so the old file stays whole when anything fails. A symbolic link is followed
    // to the file it names, which is replaced while the link stays; a read-only file is not
    // replaced; temporary files that killed saves left behind are removed. False with LastError
    // set.
    bool Save();

    // The names of the file's sections, in the file's order, as they are spelt there.
    std::vector<std::string> SectionNames() const;

    // Removes the section with its keys and the blank lines after it; false when there is none.
    bool EraseSection(std::string_view section);

    const std::string& LastError() const { return lastError_; }
    std::string Text() const;

private:
    static bool IsSectionLine(std::string_view line, std::string& name);
    static bool IsKeyLine(std::string_view line, std::string& key, std::string& value);

    // Index of the section header line, or npos.
    size_t FindSection(std::string_view section) const;
    // One past the section's last line (the next header or the end of the file).
    size_t SectionEnd(size_t header) const;
    size_t FindKey(size_t header, std::string_view key) const;

    // A line keeps the end it was read with, so that a file with mixed line ends is saved as it
    // was; lines the store adds take the end of the file's first line.
    struct Line {
        std::string text;
        std::string end;
    };
    Line NewLine(std::string text) const { return {std::move(text), lineEnd_}; }

    std::string path_;
    std::vector<Line> lines_;
    std::string lineEnd_ = "\n";
    std::string lastError_;
};
