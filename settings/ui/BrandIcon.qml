// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources

// The tile of an account kind, drawn by us: a calendar page for the
// desktop's own calendars, a letter for Google's and Outlook's, the symbol
// for any other.
Rectangle {
    id: tile

    property string name: ""
    property string symbol: ""
    property color tileColor: Theme.blue

    implicitWidth: 38
    implicitHeight: 38
    radius: 9
    color: tileColor
    Accessible.ignored: true

    // A calendar page: white, with a red band along the top.
    Item {
        visible: tile.symbol === "calendar"
        anchors.centerIn: parent
        width: 26
        height: 24
        Rectangle {
            anchors.fill: parent
            radius: 4
            color: Theme.white
        }
        Rectangle {
            width: parent.width
            height: 8
            radius: 4
            color: Theme.pageRed
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 4
                color: parent.color
            }
        }
        Grid {
            x: 4
            y: 11
            columns: 4
            rowSpacing: 3
            columnSpacing: 3
            Repeater {
                model: 8
                Rectangle {
                    width: 3
                    height: 3
                    radius: 1
                    color: Theme.alpha(Theme.pageRed, 0.55)
                }
            }
        }
    }
    Text {
        visible: tile.symbol === "g.circle.fill"
        anchors.centerIn: parent
        text: "G"
        font: Theme.font(20, Font.Bold)
        color: Theme.white
    }
    Row {
        visible: tile.symbol === "envelope.fill"
        anchors.centerIn: parent
        Text {
            text: "O"
            font: Theme.font(20, Font.Bold)
            color: Theme.white
        }
        Text {
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 4
            text: "\u00B7"
            font: Theme.font(8, Font.Black)
            color: Theme.white
        }
    }
    SymbolIcon {
        visible: tile.symbol !== "calendar" && tile.symbol !== "g.circle.fill" && tile.symbol !== "envelope.fill"
        anchors.centerIn: parent
        name: tile.symbol
        size: 17
        color: Theme.white
    }
}
