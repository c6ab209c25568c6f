#pragma once

#include <QString>
#include <string>
#include <string_view>

// The one crossing between the 8-bit texts of the wire and the settings file and the widgets'
// Unicode: valid UTF-8 is shown as UTF-8, anything else byte for byte as Latin-1, so that no
// byte is ever lost or replaced on the way to the screen.
QString BytesToDisplay(std::string_view bytes);

// No view shows more than this many characters of one text; laying out a megabyte of a login
// from the server would stall the window for seconds at every repaint.
inline constexpr qsizetype kMaxShownChars = 256;

// The text cut to kMaxShownChars, an ellipsis marking the cut; for display only, requests
// always take the exact bytes.
QString ShortForDisplay(const QString& text);
QString ShortForDisplay(std::string_view bytes);

// Text typed by the user goes out as UTF-8.
std::string DisplayToBytes(const QString& text);

// What a field was filled with, so that a field left unchanged gives back its exact bytes even
// when they were not UTF-8.
class FilledText {
public:
    FilledText() = default;
    explicit FilledText(std::string bytes) : bytes_(std::move(bytes)), shown_(BytesToDisplay(bytes_)) {}

    const QString& Shown() const { return shown_; }
    std::string BytesFor(const QString& current) const {
        return current == shown_ ? bytes_ : DisplayToBytes(current);
    }

private:
    std::string bytes_;
    QString shown_;
};
