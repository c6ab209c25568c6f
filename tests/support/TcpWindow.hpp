#pragma once

#include <memory>
#include <string>

#include <QString>

#include "net/QtClientSocket.hpp"
#include "window/untKrvClientA.hpp"

// The main window assembled as the program's entry assembles it: over a TCP socket whose failed
// lookups are reported in a box over the window.
inline std::unique_ptr<TfrmKrvClientA> OpenTcpWindow(const QString& settingsPath) {
    auto socket = std::make_unique<QtClientSocket>();
    QtClientSocket& tcp = *socket;
    auto window = std::make_unique<TfrmKrvClientA>(std::move(socket), settingsPath);
    tcp.SetFailureReporter(
        [shown = window.get()](const std::string& message) { shown->ReportSocketFailure(message); });
    return window;
}
