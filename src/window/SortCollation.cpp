#include "window/SortCollation.hpp"

#include <QLocale>

// The locale's name as QCollator hands it to ICU, but for the C locale, which QCollator orders by
// code point whatever ICU would make of its name.
Collation CollationOf(const QCollator& collator) {
    Collation collation;
    if (collator.locale().language() != QLocale::C) {
        collation.locale = collator.locale().bcp47Name().replace('-', '_').toStdString();
    }
    collation.caseSensitive = collator.caseSensitivity() == Qt::CaseSensitive;
    collation.numeric = collator.numericMode();
    collation.ignorePunctuation = collator.ignorePunctuation();
    return collation;
}
