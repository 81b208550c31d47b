// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// One calendar with its colour, its title and a switch. The whole row takes
// clicks; a click and a flip of the switch both ask the same toggle, and
// the switch shows whatever state the settings then hold.
Item {
    id: row

    property string title: ""
    property color dotColor: Theme.blue
    property bool shown: true
    property string group: ""

    signal toggled()
    signal keyboardFocused(Item item)

    implicitHeight: layout.implicitHeight + 14

    MouseArea {
        objectName: "rowArea"
        anchors.fill: parent
        onClicked: row.toggled()
    }

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.topMargin: 7
        anchors.bottomMargin: 7
        spacing: 12

        Rectangle {
            Layout.preferredWidth: 10
            Layout.preferredHeight: 10
            radius: 5
            color: row.dotColor
        }
        Text {
            Layout.fillWidth: true
            text: row.title
            font: Theme.font(13)
            color: Theme.primary
            elide: Text.ElideRight
            Accessible.ignored: true
        }
        ToggleSwitch {
            id: toggle
            objectName: "switch"
            checked: row.shown
            Accessible.name: row.title
            Accessible.description: row.group
            // The settings decide: the switch follows them, whatever it did itself.
            onToggled: {
                row.toggled()
                checked = Qt.binding(() => row.shown)
            }
            onActiveFocusChanged: if (activeFocus) row.keyboardFocused(row)
        }
    }
}
