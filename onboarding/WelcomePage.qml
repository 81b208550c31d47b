// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// The first page: the tile, the welcome and what brivane is for.
Item {
    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 56
        spacing: 18

        AppTile {
            Layout.alignment: Qt.AlignHCenter
        }
        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Welcome to\nbrivane")
            font: Theme.font(26, Font.Bold)
            color: Theme.primary
            Accessible.role: Accessible.Heading
            Accessible.name: text.replace("\n", " ")
        }
        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Your calendar, always one click away.\nEvents, reminders, and new events \u2014 right from the panel.")
            font: Theme.font(14)
            color: Theme.secondary
            wrapMode: Text.WordWrap
            lineHeight: 1.15
            Accessible.role: Accessible.StaticText
            Accessible.name: text.replace("\n", " ")
        }
    }
}
