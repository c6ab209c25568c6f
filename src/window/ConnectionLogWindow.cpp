#include "window/ConnectionLogWindow.hpp"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/ConnectionLog.hpp"
#include "window/DisplayText.hpp"

ConnectionLogWindow::ConnectionLogWindow(ConnectionLog& log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log) {
    setObjectName(QStringLiteral("frmConnectionLog"));
    setWindowTitle(QStringLiteral("Connection log"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(560, 320);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("txtConnectionLog"));
    text_->setAccessibleName(QStringLiteral("Connection log"));
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMaximumBlockCount(static_cast<int>(ConnectionLog::kCapacity));

    cbShowLines_ = new QCheckBox(QStringLiteral("show &read and written lines"), this);
    cbShowLines_->setObjectName(QStringLiteral("cbShowLines"));
    cbShowLines_->setChecked(log_.ShowLines());
    connect(cbShowLines_, &QCheckBox::toggled, this, [this](bool on) { log_.SetShowLines(on); });

    cbShowPasswords_ = new QCheckBox(QStringLiteral("show &passwords"), this);
    cbShowPasswords_->setObjectName(QStringLiteral("cbShowPasswords"));
    connect(cbShowPasswords_, &QCheckBox::toggled, this, [this] { ShowEntries(); });

    btClear_ = new QPushButton(QStringLiteral("&Clear"), this);
    btClear_->setObjectName(QStringLiteral("btClearLog"));
    btClear_->setAutoDefault(false);
    connect(btClear_, &QPushButton::clicked, this, [this] { ClearClick(); });

    btClose_ = new QPushButton(QStringLiteral("Cl&ose"), this);
    btClose_->setObjectName(QStringLiteral("btCloseLog"));
    btClose_->setAutoDefault(false);
    connect(btClose_, &QPushButton::clicked, this, &QWidget::close);

    auto* controls = new QHBoxLayout;
    controls->addWidget(cbShowLines_);
    controls->addWidget(cbShowPasswords_);
    controls->addStretch(1);
    controls->addWidget(btClear_);
    controls->addWidget(btClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(controls);

    ShowEntries();
    log_.SetListener([this](const ConnectionLogEntry& entry) { Append(entry); });
}

ConnectionLogWindow::~ConnectionLogWindow() {
    log_.SetListener({});
}

// Escape and Ctrl+W close it, as they close a dialog or a document, from wherever the focus is
// in it; a window that is never activated has no shortcut of its own that could.
void ConnectionLogWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ConnectionLogWindow::showEvent(QShowEvent* event) {
    cbShowPasswords_->setChecked(false);
    QWidget::showEvent(event);
}

void ConnectionLogWindow::Append(const ConnectionLogEntry& entry) {
    text_->appendPlainText(BytesToDisplay(entry.Line(cbShowPasswords_->isChecked())));
}

void ConnectionLogWindow::ShowEntries() {
    text_->clear();
    for (const ConnectionLogEntry& entry : log_.Entries()) {
        Append(entry);
    }
}

void ConnectionLogWindow::ClearClick() {
    log_.Clear();
    text_->clear();
}
