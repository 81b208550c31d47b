// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// A one-line text field without a frame, for rows that already have their
// own lines around them. The placeholder names it for screen readers too.
//
//   PlainTextField { placeholderText: qsTr("Event title"); onAccepted: … }
T.TextField {
    id: field

    font: Theme.font(13)
    color: Theme.primary
    selectionColor: Theme.alpha(Theme.accent, 0.35)
    selectedTextColor: Theme.primary
    placeholderTextColor: Theme.alpha(Theme.secondary, 0.8)
    verticalAlignment: TextInput.AlignVCenter
    padding: 2
    leftPadding: 0
    rightPadding: 0
    implicitWidth: Math.max(contentWidth + leftPadding + rightPadding, 100)
    implicitHeight: Math.max(contentHeight, placeholder.implicitHeight) + topPadding + bottomPadding

    Accessible.name: placeholderText

    Text {
        id: placeholder
        x: field.leftPadding
        y: field.topPadding
        width: field.width - field.leftPadding - field.rightPadding
        height: field.height - field.topPadding - field.bottomPadding
        text: field.placeholderText
        font: field.font
        color: field.placeholderTextColor
        verticalAlignment: field.verticalAlignment
        elide: Text.ElideRight
        visible: !field.length && !field.preeditText
        Accessible.ignored: true
    }
}
