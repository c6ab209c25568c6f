#pragma once

#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Answers the next modal window of the expected kind: set it up before the action that opens
// the window, then trigger the action; the answer runs inside the window's own event loop.
// A responder that never saw its window reports so through Answered(), and one that goes out
// of scope stops looking, so it cannot answer a later window by mistake.
class ModalResponder {
public:
    ModalResponder(std::function<bool(QWidget*)> fits, std::function<void(QWidget*)> answer)
        : poll_(std::make_unique<QTimer>()) {
        poll_->setInterval(5);
        QObject::connect(poll_.get(), &QTimer::timeout,
                         [this, fits = std::move(fits), answer = std::move(answer)] {
                             QWidget* modal = QApplication::activeModalWidget();
                             if (modal == nullptr || !modal->isVisible() || !fits(modal)) {
                                 return;
                             }
                             poll_->stop();
                             answered_ = true;
                             QPointer<QWidget> window(modal);
                             answer(modal);
                             // A failed check returns from the answer early; the window must
                             // not stay open and hang the test.
                             if (window && window->isVisible()) {
                                 if (auto* dialog = qobject_cast<QDialog*>(window.data())) {
                                     dialog->reject();
                                 } else {
                                     window->close();
                                 }
                             }
                         });
        poll_->start();
    }

    bool Answered() const { return answered_; }

private:
    std::unique_ptr<QTimer> poll_;
    bool answered_ = false;
};

// What a message box showed before it was answered.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Presses a button of the next message box and records what it showed.
inline std::unique_ptr<ModalResponder> AnswerMessageBox(SeenBox& seen,
                                                        QMessageBox::StandardButton press = QMessageBox::Ok) {
    return std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [&seen, press](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            box->button(press)->click();
        });
}

// Runs answer on the next modal dialog of type Dialog.
template <typename Dialog>
std::unique_ptr<ModalResponder> AnswerDialog(std::function<void(Dialog*)> answer) {
    return std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<Dialog*>(modal) != nullptr; },
        [answer = std::move(answer)](QWidget* modal) { answer(qobject_cast<Dialog*>(modal)); });
}
