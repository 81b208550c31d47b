// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources

// The small upper-case heading of the settings tabs.
Text {
    property string title: ""

    text: title.toUpperCase()
    font.family: Theme.fontFamily
    font.pixelSize: Theme.font(11).pixelSize
    font.weight: Font.DemiBold
    font.letterSpacing: 0.5
    color: Theme.secondary
    Accessible.role: Accessible.Heading
    Accessible.name: title
}
