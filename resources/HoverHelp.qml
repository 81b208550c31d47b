// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// The small note that shows when the pointer rests on a control, below it.
// PlainButton shows its `hoverHelp` with one; other controls can too:
//
//   HoverHelp { text: qsTr("Delete Event"); visible: control.hovered }
T.ToolTip {
    id: help

    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: parent ? parent.height + 4 : 0
    delay: 700
    margins: 4
    padding: 5
    leftPadding: 7
    rightPadding: 7
    closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutsideParent | T.Popup.CloseOnReleaseOutsideParent
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    contentItem: Text {
        text: help.text
        font: Theme.font(11)
        color: Theme.primary
    }
    background: Rectangle {
        radius: 4
        color: Theme.windowBackground
        border.width: 1
        border.color: Theme.alpha(Theme.black, 0.15)
    }
}
