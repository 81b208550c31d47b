// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources

// A one-pixel line across its width, kept `leftInset` and `rightInset` away
// from the edges (`inset` sets both).
Item {
    id: divider

    property real inset: 0
    property real leftInset: inset
    property real rightInset: inset

    implicitHeight: 1
    Accessible.ignored: true

    Rectangle {
        x: divider.leftInset
        width: divider.width - divider.leftInset - divider.rightInset
        height: 1
        color: Theme.separator
    }
}
