// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// The third page: what to do with the tray icon, one row per step.
Item {
    id: page

    property var steps: []

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width
        spacing: 6

        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Here's how it works")
            font: Theme.font(22, Font.Bold)
            color: Theme.primary
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            Layout.fillWidth: true
            Layout.bottomMargin: 16
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Everything you need, nothing you don't.")
            font: Theme.font(14)
            color: Theme.secondary
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Repeater {
            model: page.steps
            RowLayout {
                required property var modelData
                Layout.fillWidth: true
                Layout.leftMargin: 28
                Layout.rightMargin: 28
                Layout.bottomMargin: 8
                spacing: 14
                Accessible.role: Accessible.StaticText
                Accessible.name: modelData.title + ". " + modelData.text

                Rectangle {
                    Layout.alignment: Qt.AlignTop
                    implicitWidth: 36
                    implicitHeight: 36
                    radius: 9
                    color: Theme.alpha(Theme.accent, 0.1)
                    SymbolIcon {
                        anchors.centerIn: parent
                        name: modelData.symbol
                        size: 15
                        color: Theme.accent
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Text {
                        Layout.fillWidth: true
                        text: modelData.title
                        font: Theme.font(13, Font.DemiBold)
                        color: Theme.primary
                        Accessible.ignored: true
                    }
                    Text {
                        Layout.fillWidth: true
                        text: modelData.text
                        font: Theme.font(12)
                        color: Theme.secondary
                        wrapMode: Text.WordWrap
                        Accessible.ignored: true
                    }
                }
            }
        }
    }
}
