#include <QCoreApplication>
#include <QTextStream>
#include <csignal>

#include "DemoServer.hpp"
#include "ServerOptions.hpp"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("krv-demo-server");
    // A client that vanishes while we write must not take the server down.
    std::signal(SIGPIPE, SIG_IGN);

    const OptionsResult parsed = ParseServerOptions(QCoreApplication::arguments());
    if (!parsed.options) {
        if (parsed.error.isEmpty()) {
            QTextStream(stdout) << parsed.helpText;
            return 0;
        }
        QTextStream(stderr) << "krv-demo-server: " << parsed.error << " (see --help)" << Qt::endl;
        return 2;
    }

    DemoServer server(*parsed.options);
    QString error;
    if (!server.Listen(error)) {
        QTextStream(stderr) << "krv-demo-server: " << error << Qt::endl;
        return 1;
    }
    // Whoever started the server waits for this line to learn the port.
    QTextStream(stdout) << server.ListeningText() << Qt::endl;
    return QCoreApplication::exec();
}
