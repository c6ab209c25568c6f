#include <QApplication>

#include "window/untKrvClientA.hpp"

// The main window fixes the decimal separator and the application's title as it is created,
// and creates the About box right after itself; closing it ends the program.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    TfrmKrvClientA window;
    window.show();
    return QApplication::exec();
}
