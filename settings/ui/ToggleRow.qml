// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// An option: its name, a line that explains it, and a switch that writes
// the value it shows. Only the switch takes clicks.
Item {
    id: row

    property string label: ""
    property string subtitle: ""
    property bool isOn: false

    signal switched(bool on)

    implicitHeight: layout.implicitHeight + 16

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 12

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.label
                font: Theme.font(13)
                color: Theme.primary
                Accessible.ignored: true
            }
            Text {
                Layout.fillWidth: true
                text: row.subtitle
                font: Theme.font(11)
                color: Theme.secondary
                wrapMode: Text.Wrap
                Accessible.ignored: true
            }
        }
        ToggleSwitch {
            objectName: "switch"
            checked: row.isOn
            Accessible.name: row.label
            Accessible.description: row.subtitle
            onToggled: {
                row.switched(checked)
                checked = Qt.binding(() => row.isOn)
            }
        }
    }
}
