// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources

// The card a sheet is drawn on: 320 wide, the window's background, rounded
// by 16, with a soft shadow cast upwards. Children go into the card.
Item {
    id: frame

    default property alias content: card.data

    implicitWidth: 320
    implicitHeight: card.implicitHeight

    SoftShadow {
        id: shadow
        anchors.fill: card
        anchors.margins: -extent
        cornerRadius: 16
        blur: 20
        offsetY: -4
        color: Theme.alpha(Theme.black, 0.25)
    }
    Rectangle {
        id: card
        anchors.fill: parent
        implicitHeight: childrenRect.height
        radius: 16
        color: Theme.windowBackground
    }
}
