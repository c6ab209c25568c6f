#include "window/DisplayText.hpp"

#include <QStringDecoder>

QString BytesToDisplay(std::string_view bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString text = decoder.decode(view);
    if (!decoder.hasError()) {
        return text;
    }
    return QString::fromLatin1(view);
}

QString ShortForDisplay(const QString& text) {
    if (text.size() <= kMaxShownChars) {
        return text;
    }
    return text.left(kMaxShownChars - 1) + QChar(0x2026);
}

QString ShortForDisplay(std::string_view bytes) {
    return ShortForDisplay(BytesToDisplay(bytes));
}

std::string DisplayToBytes(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}
