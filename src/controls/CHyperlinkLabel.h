// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QLabel>

// A static text that acts as a web link: link colours, red under the pointer, a hand cursor, a
// tooltip with its address, and a click that opens the address through the desktop's services
// (QDesktopServices: the desktop portal, xdg-open or the desktop's own opener), explaining a
// failure in a message box with the address to open by hand.
class CHyperlinkLabel : public QLabel {
    Q_OBJECT
public:
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
    // Opens the address; false when no program on this computer opens it.
    bool OpenLink(const QString& address);
    // Shows OpenErrorText(address) in a warning box.
    void ShowOpenError();
    static QString OpenErrorText(const QString& address);

    QColor CurrentColor() const;
    bool IsOver() const { return over; }

signals:
    // After each click, with the result of OpenLink.
    void LinkOpened(bool opened);

protected:
    // The desktop's own opener; tests replace it.
    virtual bool DesktopOpen(const QString& address);

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
