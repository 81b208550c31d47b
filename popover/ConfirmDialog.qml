// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// A question over the popover with a destructive answer and "Cancel",
// answered by the mouse or the keyboard (Tab, Return, Escape through the
// popover). Shown while `open`.
Item {
    id: dialog

    property bool open: false
    property string title: ""
    property string confirmText: ""

    signal confirmed()
    signal cancelled()

    visible: open
    onOpenChanged: if (open) cancelButton.forceActiveFocus()

    Accessible.role: Accessible.Dialog
    Accessible.name: title

    Rectangle {
        anchors.fill: parent
        color: Theme.alpha(Theme.black, 0.2)
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onWheel: (wheel) => wheel.accepted = true
        }
    }

    SoftShadow {
        anchors.fill: box
        anchors.margins: -extent
        cornerRadius: 12
        blur: 18
        color: Theme.alpha(Theme.black, 0.3)
    }
    Rectangle {
        id: box
        anchors.centerIn: parent
        width: 260
        height: column.implicitHeight + 32
        radius: 12
        color: Theme.windowBackground

        ColumnLayout {
            id: column
            anchors.fill: parent
            anchors.margins: 16
            spacing: 12

            Text {
                Layout.fillWidth: true
                text: dialog.title
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                font: Theme.font(13, Font.DemiBold)
                color: Theme.primary
            }
            PlainButton {
                id: confirmButton
                objectName: "confirmDelete"
                Layout.fillWidth: true
                Layout.preferredHeight: Theme.scaled(28)
                text: dialog.confirmText
                color: Theme.red
                backgroundColor: Theme.alpha(Theme.red, 0.1)
                backgroundRadius: 6
                horizontalAlignment: Qt.AlignHCenter
                onClicked: dialog.confirmed()
            }
            PlainButton {
                id: cancelButton
                objectName: "cancelDelete"
                Layout.fillWidth: true
                Layout.preferredHeight: Theme.scaled(28)
                text: qsTr("Cancel")
                color: Theme.primary
                backgroundColor: Theme.alpha(Theme.primary, 0.06)
                backgroundRadius: 6
                horizontalAlignment: Qt.AlignHCenter
                onClicked: dialog.cancelled()
            }
        }
    }
}
