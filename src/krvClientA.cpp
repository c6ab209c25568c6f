#include <QApplication>
#include <QDir>
#include <QIcon>

#include "window/untKrvClientA.hpp"

namespace {

// The application icon in every size built into the program; the desktop picks the one it needs.
QIcon ApplicationIcon() {
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons"));
    for (const QString& name : sizes.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        icon.addFile(sizes.filePath(name));
    }
    return icon;
}

}  // namespace

// The main window fixes the decimal separator and the application's title as it is created,
// and creates the About box right after itself; closing it ends the program.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Lets the desktop match the window to its entry, and so to the entry's icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KRV_APP_ID));
    QApplication::setWindowIcon(ApplicationIcon());
    TfrmKrvClientA window;
    window.show();
    return QApplication::exec();
}
