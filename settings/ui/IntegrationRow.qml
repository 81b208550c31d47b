// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// One kind of account: its tile, name and state, and either the green
// "Connected" mark or the button that leads to where it is set up.
Item {
    id: row

    property string title: ""
    property string subtitleText: ""
    property bool isConnected: false
    property string symbol: ""
    property color tileColor: Theme.blue
    property string setupButtonText: ""
    property string setupButtonHelp: ""

    signal setUp()
    signal keyboardFocused(Item item)

    implicitHeight: layout.implicitHeight + 18
    Accessible.role: Accessible.Grouping
    Accessible.name: title + ", " + subtitleText

    Rectangle {
        anchors.fill: parent
        color: hover.hovered ? Theme.alpha(Theme.primary, 0.04) : "transparent"
    }
    HoverHandler {
        id: hover
    }

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.topMargin: 9
        anchors.bottomMargin: 9
        spacing: 12

        BrandIcon {
            name: row.title
            symbol: row.symbol
            tileColor: row.tileColor
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.title
                font: Theme.font(13, Font.Medium)
                color: Theme.alpha(Theme.primary, 0.7)
                elide: Text.ElideRight
                Accessible.ignored: true
            }
            Text {
                Layout.fillWidth: true
                text: row.subtitleText
                font: Theme.font(11)
                color: Theme.secondary
                elide: Text.ElideRight
                Accessible.ignored: true
            }
        }
        Rectangle {
            objectName: "connectedMark"
            visible: row.isConnected
            implicitWidth: mark.implicitWidth + 16
            implicitHeight: mark.implicitHeight + 8
            radius: 6
            color: Theme.alpha(Theme.green, 0.1)
            Accessible.role: Accessible.StaticText
            Accessible.name: qsTr("Connected")
            Row {
                id: mark
                anchors.centerIn: parent
                spacing: 4
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "checkmark.circle.fill"
                    size: 11
                    color: Theme.green
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Connected")
                    font: Theme.font(11, Font.Medium)
                    color: Theme.green
                    Accessible.ignored: true
                }
            }
        }
        BorderedButton {
            objectName: "setUp"
            visible: !row.isConnected
            text: row.setupButtonText
            hoverHelp: row.setupButtonHelp
            Accessible.name: text + " " + row.title
            onClicked: row.setUp()
            onActiveFocusChanged: if (activeFocus) row.keyboardFocused(row)
        }
    }
}
