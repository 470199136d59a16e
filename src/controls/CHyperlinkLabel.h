// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QLabel>
#include <QStringList>

// A static text that acts as a web link: link colours, red under the pointer, a hand cursor, a
// tooltip with its address, and a click that opens the address (through the desktop, or else
// through the program registered for HTML files), explaining any failure in a message box.
class CHyperlinkLabel : public QLabel {
    Q_OBJECT
public:
    // Results of OpenLink above this value mean success.
    static constexpr int OpenSucceeded = 42;
    // The desktop could not open the address and no handler took over.
    static constexpr int NoAssociation = 31;
    static constexpr int FileNotFound = 2;

    explicit CHyperlinkLabel(const QString& text, QWidget* parent = nullptr);
    ~CHyperlinkLabel() override;

    static QColor DefaultLinkColor() { return QColor(0, 0, 238); }
    static QColor DefaultVisitedColor() { return QColor(85, 26, 139); }
    static QColor DefaultHoverColor() { return QColor(255, 0, 0); }

    // Stores the address, resizes the label to its text and shows the address as tooltip.
    void SetLink(const QString& address);
    QString Link() const { return address; }
    void MarkVisited(bool flag);
    bool IsVisited() const { return visited; }
    // -1 underlined only under the pointer, 0 never, 1 always.
    void SetUnderlineMode(int mode);
    int UnderlineMode() const { return underlineMode; }
    // Resizes the label to its text (as measured in the underlined font), keeping the edge that
    // its alignment names: left, right or centre; top, or the middle when centred vertically.
    void FitToText();
    // Opens the address; a result above 32 means success, any other is a code for ShowOpenError.
    int OpenLink(const QString& address);
    // Shows OpenErrorText(code) in a warning box.
    void ShowOpenError(int code);
    static QString OpenErrorText(int code);

    // The command of the program registered to open HTML files ("" when there is none).
    static QString HtmlHandlerCommand();
    // The handler's command cut at its file placeholder, with the address as a last argument:
    // program first, then its arguments. Empty when the command has no program.
    static QStringList HandlerArguments(const QString& command, const QString& address);

    QColor CurrentColor() const;
    bool IsOver() const { return over; }

signals:
    // After each click, with the result of OpenLink.
    void LinkOpened(int result);

protected:
    // The desktop's own opener; tests replace it.
    virtual bool DesktopOpen(const QString& address);
    // Starts the HTML handler; tests replace it.
    virtual bool StartHandler(const QString& program, const QStringList& arguments);

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void SetUnderlined(bool on);
    void Activate();

    QColor linkColor = DefaultLinkColor();
    QColor visitedColor = DefaultVisitedColor();
    QColor hoverColor = DefaultHoverColor();
    bool over = false;
    bool visited = false;
    int underlineMode = -1;
    bool autoSize = true;
    QString address;
    bool underlined = false;
    QBasicTimer hoverTimer;
};
