// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>

// What the job list's parent tells the list about one cell. The list owns one record, resets it
// to these defaults and fills row, column, selected and hot before every request; the parent
// fills in the rest while it handles the request and must not keep a pointer to it afterwards.
//
// Colours: an invalid QColor (the default) means "the system colour named for the field", taken
// from the list's palette. A colour with alpha 0 (use CellInfo::NoColour()) means "paint no
// background": the fill is skipped and the text is drawn transparently.
struct CellInfo {
    // Frame drawn around a progress bar (the values are the classic edge types).
    enum FrameEdge : int {
        EdgeNone = 0,
        EdgeRaised = 5,
        EdgeEtched = 6,
        EdgeBump = 9,
        EdgeSunken = 10,
    };

    static QColor NoColour() { return {0, 0, 0, 0}; }
    static bool IsNoColour(const QColor& colour) { return colour.isValid() && colour.alpha() == 0; }

    QString text;
    // Paint this cell with its normal colours even when its row is selected.
    bool ignoreSelection = false;

    // A range above 0 makes the cell a progress cell; position / range of the bar is filled.
    int progressRange = -1;
    int progressPosition = 0;
    QColor progressBarColour;  // default: highlight
    QColor progressTextColour; // text over the filled part; default: highlighted text
    int progressFrameEdge = EdgeSunken;
    // Drawn inside the bar in place of text when set (a short form that always fits, such as
    // "45%"); text stays the cell's full text.
    QString barText;
    // The cell's tooltip. When empty, a text too wide for its cell is its own tooltip.
    QString toolTip;

    QColor textColour;                  // default: window text
    QColor backgroundColour;            // default: window (base)
    QColor hotTextColour;               // default: link colour
    QColor selectedTextColour;          // default: highlighted text with focus, else text
    QColor selectedBackgroundFocused;   // default: highlight
    QColor selectedBackgroundUnfocused; // default: button face

    // Set by the list before it asks.
    int row = -1;
    int column = -1;
    bool selected = false;
    bool hot = false;
};
