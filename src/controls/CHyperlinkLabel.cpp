// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CHyperlinkLabel.h"

#include "controls/FocusMark.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimerEvent>
#include <QUrl>

namespace {

constexpr int hoverPollMs = 100;

#ifndef Q_OS_WIN
// The value of key in [group] of a freedesktop key file ("" when absent).
QString KeyFileValue(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        if (!inGroup || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}
#endif

} // namespace

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    // A static text sits at its top-left corner unless told otherwise.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    if (address.isEmpty())
        address = this->text();
    if (this->text().isEmpty())
        setText(address);
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(address);
    setFocusPolicy(Qt::TabFocus); // reachable from the keyboard; a click opens, never focuses
}

CHyperlinkLabel::~CHyperlinkLabel() {
    hoverTimer.stop();
}

void CHyperlinkLabel::SetLink(const QString& link) {
    address = link;
    FitToText();
    setToolTip(address);
}

void CHyperlinkLabel::MarkVisited(bool flag) {
    visited = flag;
    update();
}

void CHyperlinkLabel::SetUnderlineMode(int mode) {
    if (mode == underlineMode)
        return;
    SetUnderlined(mode == 1);
    underlineMode = mode;
}

void CHyperlinkLabel::SetUnderlined(bool on) {
    underlined = on;
    update();
}

QColor CHyperlinkLabel::CurrentColor() const {
    if (over)
        return hoverColor;
    return visited ? visitedColor : linkColor;
}

void CHyperlinkLabel::FitToText() {
    if (!autoSize)
        return;
    QFont underlineFont = font();
    underlineFont.setUnderline(true);
    const QFontMetrics metrics(underlineFont);
    const QRect client = contentsRect();
    const int neededWidth = metrics.horizontalAdvance(text()) + (width() - client.width());
    const int neededHeight = metrics.height() + (height() - client.height());

    // Edges as left/top inclusive, right/bottom exclusive, in the parent's coordinates.
    int left = x();
    int top = y();
    int right = x() + width();
    int bottom = y() + height();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int shrink = (height() - neededHeight) / 2;
        top += shrink;
        bottom -= shrink;
    } else {
        bottom = top + neededHeight;
    }
    if (align & Qt::AlignHCenter) {
        const int shrink = (width() - neededWidth) / 2;
        left += shrink;
        right -= shrink;
    } else if (align & Qt::AlignRight) {
        left = right - neededWidth;
    } else {
        right = left + neededWidth;
    }
    setGeometry(left, top, right - left, bottom - top);
}

void CHyperlinkLabel::paintEvent(QPaintEvent* /*event*/) {
    // Drawn here rather than by QLabel so that a style sheet cannot override the link colours,
    // and so the underline follows the hover state without touching the widget's font.
    QPainter painter(this);
    drawFrame(&painter);
    QFont textFont = font();
    textFont.setUnderline(underlined);
    painter.setFont(textFont);
    painter.setPen(CurrentColor());
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
    if (hasFocus())
        DrawFocusMark(painter, rect()); // only Tab gives a link the focus
}

void CHyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!over) {
        over = true;
        if (underlineMode == -1)
            SetUnderlined(true);
        update();
        // Leaving is noticed by polling, so that it also works while another window has the
        // pointer grabbed.
        hoverTimer.start(hoverPollMs, this);
    }
    QLabel::mouseMoveEvent(event);
}

void CHyperlinkLabel::timerEvent(QTimerEvent* event) {
    // Every tick of any of the label's timers checks where the pointer is now.
    const QPoint local = mapFromGlobal(QCursor::pos());
    if (!rect().contains(local)) {
        over = false;
        hoverTimer.stop();
        if (underlineMode != 1)
            SetUnderlined(false);
        update();
    }
    QLabel::timerEvent(event);
}

void CHyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    over = false;
    Activate();
}

void CHyperlinkLabel::Activate() {
    const int result = OpenLink(address);
    visited = result > 32;
    if (visited) {
        MarkVisited(true);
    } else {
        QApplication::beep();
        ShowOpenError(result);
    }
    emit LinkOpened(result);
}

void CHyperlinkLabel::keyPressEvent(QKeyEvent* event) {
    // From the keyboard, Return or Space opens the link as a click does.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        event->modifiers() == Qt::NoModifier) {
        event->accept();
        Activate();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperlinkLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void CHyperlinkLabel::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

bool CHyperlinkLabel::DesktopOpen(const QString& link) {
#ifndef Q_OS_WIN
    // Qt starts the desktop's opener and does not wait to hear whether any program took the
    // address: its exit status is watched here instead, without waiting, and a failure is
    // said (after the HTML program has had its turn).
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        auto* process = new QProcess(this);
        process->setProgram(opener);
        process->setArguments({QUrl::fromUserInput(link).toString()});
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        auto failed = [this, process, link] {
            process->deleteLater();
            const QStringList command = HandlerArguments(HtmlHandlerCommand(), link);
            const int result = command.isEmpty()                               ? NoAssociation
                               : StartHandler(command.first(), command.mid(1)) ? OpenSucceeded
                                                                               : FileNotFound;
            if (result == OpenSucceeded)
                return;
            MarkVisited(false);
            QApplication::beep();
            ShowOpenError(result);
        };
        connect(process, &QProcess::finished, this,
                [process, failed](int code, QProcess::ExitStatus status) {
                    if (status == QProcess::NormalExit && code == 0)
                        process->deleteLater();
                    else
                        failed();
                });
        connect(process, &QProcess::errorOccurred, this, [failed](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                failed();
        });
        process->start();
        return true;
    }
#endif
    return QDesktopServices::openUrl(QUrl::fromUserInput(link));
}

bool CHyperlinkLabel::StartHandler(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

int CHyperlinkLabel::OpenLink(const QString& link) {
    if (DesktopOpen(link))
        return OpenSucceeded;
    // Where the desktop cannot open web addresses, the program that opens HTML files may.
    const QStringList command = HandlerArguments(HtmlHandlerCommand(), link);
    if (command.isEmpty())
        return NoAssociation;
    return StartHandler(command.first(), command.mid(1)) ? OpenSucceeded : FileNotFound;
}

QString CHyperlinkLabel::HtmlHandlerCommand() {
#ifdef Q_OS_WIN
    const QString type =
        QSettings(QStringLiteral("HKEY_CLASSES_ROOT\\.htm"), QSettings::NativeFormat)
            .value(QStringLiteral("Default"))
            .toString();
    if (type.isEmpty())
        return {};
    return QSettings(QStringLiteral("HKEY_CLASSES_ROOT\\%1\\shell\\open\\command").arg(type),
                     QSettings::NativeFormat)
        .value(QStringLiteral("Default"))
        .toString();
#else
    // The default application for text/html, as the freedesktop lists name it, and its command.
    QStringList lists;
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + QStringLiteral("/mimeapps.list") << dir + QStringLiteral("/defaults.list");
    QString entry;
    for (const QString& list : lists) {
        entry =
            KeyFileValue(list, QStringLiteral("Default Applications"), QStringLiteral("text/html"))
                .section(u';', 0, 0);
        if (!entry.isEmpty())
            break;
    }
    if (entry.isEmpty())
        return {};
    const QString desktopFile = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
    if (desktopFile.isEmpty())
        return {};
    return KeyFileValue(desktopFile, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
#endif
}

QStringList CHyperlinkLabel::HandlerArguments(const QString& command, const QString& link) {
    static const QStringList placeholders = {QStringLiteral("%1"), QStringLiteral("%u"),
                                             QStringLiteral("%U"), QStringLiteral("%f"),
                                             QStringLiteral("%F")};
    QStringList words;
    for (const QString& word : QProcess::splitCommand(command)) {
        qsizetype at = -1;
        for (const QString& placeholder : placeholders) {
            at = word.indexOf(placeholder);
            if (at >= 0)
                break;
        }
        if (at >= 0) {
            // Everything from the file placeholder on is dropped; the address takes its place.
            if (at > 0)
                words << word.left(at);
            break;
        }
        // Other field codes of a desktop entry (icon, name, ...) stand for nothing here.
        if (word.size() == 2 && word.startsWith(u'%') && word != QStringLiteral("%%"))
            continue;
        words << word;
    }
    if (words.isEmpty())
        return {};
    words << link;
    return words;
}

QString CHyperlinkLabel::OpenErrorText(int code) {
    QString reason;
    switch (code) {
    case 0:
        reason = QStringLiteral("The operating system is out\nof memory or resources.");
        break;
    case 2:
        reason = QStringLiteral("The specified file was not found.");
        break;
    case 3:
        reason = QStringLiteral("The specified path was not found.");
        break;
    case 5:
        reason = QStringLiteral("The operating system denied\naccess to the specified file.");
        break;
    case 8:
        reason = QStringLiteral("There was not enough memory to complete the operation.");
        break;
    case 11:
        reason =
            QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        break;
    case 26:
        reason = QStringLiteral("A sharing violation occurred. ");
        break;
    case 27:
        reason = QStringLiteral("The filename association is\nincomplete or invalid.");
        break;
    case 28:
        reason = QStringLiteral(
            "The DDE transaction could not\nbe completed because the request timed out.");
        break;
    case 29:
        reason = QStringLiteral("The DDE transaction failed.");
        break;
    case 30:
        reason = QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                                "transactions\nwere being processed.");
        break;
    case 31:
        reason = QStringLiteral("There is no application associated\nwith the given filename "
                                "extension.");
        break;
    case 32:
        reason = QStringLiteral("The specified dynamic-link library was not found.");
        break;
    default:
        reason = QStringLiteral("Unknown Error (%1) occurred.").arg(code);
        break;
    }
    return QStringLiteral("Unable to open hyperlink:\n\n") + reason;
}

void CHyperlinkLabel::ShowOpenError(int code) {
    // With the address, so that the user can open it by hand.
    QMessageBox::warning(window(), QApplication::applicationName(),
                         OpenErrorText(code) + QStringLiteral("\n\n") + address);
}
