#include <memory>
#include <string>

#include <QApplication>

#include "net/QtClientSocket.hpp"
#include "window/untKrvClientA.hpp"

// The program assembles what the window is given: the TCP socket, whose failed name lookups are
// reported in a box over the window. The window fixes the decimal separator and the
// application's title as it is created, and creates the About box right after itself; closing
// it ends the program.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    auto socket = std::make_unique<QtClientSocket>();
    QtClientSocket& tcp = *socket;
    TfrmKrvClientA window(std::move(socket));
    tcp.SetFailureReporter([&window](const std::string& message) { window.ReportSocketFailure(message); });
    window.show();
    return QApplication::exec();
}
