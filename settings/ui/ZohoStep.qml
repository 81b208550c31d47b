// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// One numbered instruction of the code-entry sheet.
RowLayout {
    id: step

    property string n: ""
    // The instruction as styled text (bold, code), and as read aloud.
    property string text: ""
    property string plainText: ""

    spacing: 10
    Accessible.role: Accessible.StaticText
    Accessible.name: n + ". " + plainText

    Rectangle {
        Layout.alignment: Qt.AlignTop
        implicitWidth: 22
        implicitHeight: 22
        radius: 11
        color: Theme.alpha(Theme.zoho, 0.15)
        Text {
            anchors.centerIn: parent
            text: step.n
            font: Theme.font(11, Font.Bold)
            color: Theme.zoho
        }
    }
    Text {
        id: body
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        text: step.text
        textFormat: Text.StyledText
        font: Theme.font(13)
        color: Theme.primary
        wrapMode: Text.Wrap
        Accessible.ignored: true
    }
}
