// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// One entry of a MenuPicker's list: its text, in the accent colour's
// highlight while the pointer or the keyboard is on it. Give it another
// contentItem to show more than the text.
T.ItemDelegate {
    id: item

    hoverEnabled: true
    font: Theme.font(13)
    padding: 5
    leftPadding: 8
    rightPadding: 8
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    Accessible.role: Accessible.MenuItem

    contentItem: Text {
        text: item.text
        font: item.font
        color: item.highlighted ? Theme.white : Theme.primary
        elide: Text.ElideRight
    }
    background: Rectangle {
        radius: 4
        color: item.highlighted ? Theme.accent : "transparent"
    }
}
