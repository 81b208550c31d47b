// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// One line of the detail: a symbol in an 18-wide column, then the text.
// Accented rows draw both in the accent colour.
RowLayout {
    id: row

    property string icon: ""
    property string label: ""
    property bool accent: false
    property color labelColor: accent ? Theme.accent : Theme.primary

    spacing: 8

    SymbolIcon {
        Layout.preferredWidth: 18
        Layout.alignment: Qt.AlignTop
        Layout.topMargin: 1
        name: row.icon
        size: 13
        color: row.accent ? Theme.accent : Theme.secondary
    }
    Text {
        Layout.fillWidth: true
        text: row.label
        wrapMode: Text.Wrap
        font: Theme.font(13)
        color: row.labelColor
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
