#include "window/ConnectionLogWindow.hpp"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
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
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMaximumBlockCount(static_cast<int>(ConnectionLog::kCapacity));

    cbShowLines_ = new QCheckBox(QStringLiteral("show &read and written lines"), this);
    cbShowLines_->setObjectName(QStringLiteral("cbShowLines"));
    cbShowLines_->setChecked(log_.ShowLines());
    connect(cbShowLines_, &QCheckBox::toggled, this, [this](bool on) { log_.SetShowLines(on); });

    btClear_ = new QPushButton(QStringLiteral("&Clear"), this);
    btClear_->setObjectName(QStringLiteral("btClearLog"));
    btClear_->setAutoDefault(false);
    connect(btClear_, &QPushButton::clicked, this, [this] { ClearClick(); });

    auto* controls = new QHBoxLayout;
    controls->addWidget(cbShowLines_);
    controls->addStretch(1);
    controls->addWidget(btClear_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(controls);

    for (const ConnectionLogEntry& entry : log_.Entries()) {
        Append(entry);
    }
    log_.SetListener([this](const ConnectionLogEntry& entry) { Append(entry); });
}

ConnectionLogWindow::~ConnectionLogWindow() {
    log_.SetListener({});
}

void ConnectionLogWindow::Append(const ConnectionLogEntry& entry) {
    text_->appendPlainText(BytesToDisplay(entry.Line()));
}

void ConnectionLogWindow::ClearClick() {
    log_.Clear();
    text_->clear();
}
