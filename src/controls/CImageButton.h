// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

#include <array>

// A flat push button that shows a picture instead of a button face: a pair of icons or of keyed
// bitmaps, the first shown while the pointer is over the button or it is pressed, the second
// otherwise. It can draw a thin raised/sunken border while hovered or pressed, a tooltip and a
// caption beside or under the picture. The owner's clicked() handlers do the work.
class CImageButton : public QPushButton {
    Q_OBJECT
public:
    // Status codes of the setters (0 is success).
    enum Status {
        Ok = 0,
        PictureNotLoaded = 1,
        MaskNotCreated = 2,
        BadColorSlot = 3,
        BadLayout = 4,
        BadPressStyle = 6,
    };
    // Colour slots of SetStateColor.
    enum ColorSlot {
        BackgroundHover = 0,
        CaptionHover = 1,
        BackgroundNormal = 2,
        CaptionNormal = 3,
        BackgroundFocus = 4,
        CaptionFocus = 5,
    };

    explicit CImageButton(QWidget* parent = nullptr);
    explicit CImageButton(const QString& caption, QWidget* parent = nullptr);

    // Icons from the program's icon resources, each at its own size (with systemSize the hover
    // icon at the style's large icon size). normalIconId 0 means "hover icon in every state".
    int LoadIconPair(int hoverIconId, int normalIconId, bool systemSize = false);
    // Bitmaps from the program's bitmap resources; pixels of each one's transparent colour are
    // left undrawn. normalBitmapId 0 means "hover bitmap in every state".
    int LoadBitmapPair(int hoverBitmapId, const QColor& hoverTransparent, int normalBitmapId,
                       const QColor& normalTransparent);
    // 0 picture left of the caption, 1 above it, 2 right of it, 3 at the top-left corner.
    int SetImageLayout(int layout, bool repaint = true);
    // 0 moves picture and caption by (1, 1) while pressed, 1 by (0, 2).
    int SetPressOffsetStyle(int style, bool repaint = true);
    int SetStateColor(int slot, const QColor& color, bool repaint = true);
    int ResetStateColors(bool repaint = true);
    int SetHoverBorder(bool on, bool repaint = true);
    // Lets the parent's own painting show behind the picture instead of a filled background.
    int UseParentBackground(bool repaint = true);
    // A null text changes nothing.
    int SetTip(const QString& text, bool activate = true);

    bool IsHovered() const { return hovered; }
    QColor StateColor(int slot) const;
    QString TipText() const { return tipText; }

protected:
    virtual void DrawBackground(QPainter& painter, const QRect& item);
    virtual void DrawBorder(QPainter& painter, const QRect& item);
    virtual void DrawIcon(QPainter& painter, bool hasCaption, const QRect& item, QRect& caption,
                          bool pressed, bool disabled);
    virtual void DrawBitmap(QPainter& painter, bool hasCaption, const QRect& item, QRect& caption,
                            bool pressed, bool disabled);
    virtual void DrawCaption(QPainter& painter, const QRect& item, QRect& caption, bool pressed,
                             bool disabled);

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void Init();
    void FreePictures();
    void LeaveHover();
    const QPixmap& CurrentPicture(bool pressed) const;
    QRect PictureRect(const QSize& size, bool hasCaption, const QRect& item, QRect& caption,
                      bool pressed) const;
    void Repaint(bool repaint);

    bool grayDisabledBitmap = true;
    int marginX = 3;
    int marginY = 3;
    int pressOffsetX = 1;
    int pressOffsetY = 1;
    bool hovered = false;
    bool focusMark = false; // the focus came from the keyboard
    bool parentBackground = false;
    int layout = 0;
    bool hoverBorder = true;
    std::array<QColor, 6> colors;
    bool trackWhenInactive = true;
    QString tipText;
    bool tipActive = false;
    bool hasIcons = false;
    bool hasBitmaps = false;
    QPixmap hoverPicture;
    QPixmap normalPicture;
};
