#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QIcon>

#include "dialogs/AskpassDialog.hpp"
#include "keyring/QtKeychainKeyring.hpp"
#include "net/QtClientSocket.hpp"
#include "util/MemoryRetention.hpp"
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

// ssh started the program to ask its question: the answer goes to ssh on standard output.
int AnswerSsh(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QString answer = AskForSsh(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    if (answer.isNull()) {
        return 1;
    }
    std::fputs((answer.toLocal8Bit() + '\n').constData(), stdout);
    return 0;
}

}  // namespace

// The program assembles what the window is given: the TCP socket, whose failed name lookups are
// reported in a box over the window. The window fixes the decimal separator and the
// application's title as it is created, and creates the About box right after itself; closing
// it ends the program.
int main(int argc, char* argv[]) {
    KeepFreedMemoryForReuse();
    if (std::getenv(kAskpassVariable) != nullptr) {
        return AnswerSsh(argc, argv);
    }
    QApplication application(argc, argv);
    // Lets the desktop match the window to its entry, and so to the entry's icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KRV_APP_ID));
    QApplication::setWindowIcon(ApplicationIcon());
    auto socket = std::make_unique<QtClientSocket>();
    QtClientSocket& tcp = *socket;
    TfrmKrvClientA window(std::move(socket));
    tcp.SetFailureReporter([&window](const std::string& message) { window.ReportSocketFailure(message); });
    window.UseKeyring(std::make_unique<QtKeychainKeyring>());
    window.show();
    return QApplication::exec();
}
