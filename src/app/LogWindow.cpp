// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LogWindow.h"

#include "engine/ErrorLog.h"
#include "engine/SessionLog.h"

#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

LogWindow::LogWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Morvane log"));
    setAccessibleName(tr("Morvane log"));
    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(tr("This session's entries; every session's are in %1")
                                 .arg(QDir::toNativeSeparators(ErrorLog::LogFilePath())),
                             this);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view = new QPlainTextEdit(this);
    view->setReadOnly(true); // still selectable and copyable, by mouse and keyboard
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlaceholderText(tr("Nothing has been logged in this session."));
    view->setAccessibleName(tr("Log entries"));
    layout->addWidget(where);
    layout->addWidget(view);
    resize(640, 360);
    for (const QString& entry : SessionLog::Instance().Entries())
        Append(entry);
    // Queued from any thread: an entry logged after Entries() was read arrives once.
    connect(&SessionLog::Instance(), &SessionLog::EntryAdded, this, &LogWindow::Append);
}

QString LogWindow::Text() const {
    return view->toPlainText();
}

void LogWindow::Append(const QString& entry) {
    // A reader who scrolled up to read stays where they are; one at the end follows new lines.
    QScrollBar* bar = view->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QString text = entry;
    if (text.endsWith(u'\n'))
        text.chop(1);
    view->appendPlainText(text);
    if (atEnd)
        bar->setValue(bar->maximum());
}
