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

std::string DisplayToBytes(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}
