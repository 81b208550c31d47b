// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Popover

// The sheet with one event's detail: title and source, date, time, status,
// calendar, notes and link; delete (with a question first) for events of
// writable local calendars, and "Open in Calendar" for local events.
SheetFrame {
    id: sheet

    required property EventDetailViewModel viewModel

    function focusFirst() { closeButton.forceActiveFocus() }

    ColumnLayout {
        width: parent.width
        spacing: 0

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            width: 32
            height: 4
            radius: 2
            color: Theme.alpha(Theme.primary, 0.15)
        }

        // Header: close, title, delete.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: Theme.scaled(36)
            PlainButton {
                id: closeButton
                objectName: "closeDetail"
                anchors.left: parent.left
                anchors.leftMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                padding: 5
                symbol: "chevron.down"
                symbolSize: 13
                hoverHelp: qsTr("Close")
                onClicked: sheet.viewModel.close()
            }
            Text {
                anchors.centerIn: parent
                text: qsTr("Event")
                font: Theme.font(13, Font.DemiBold)
                color: Theme.primary
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            PlainButton {
                objectName: "deleteEvent"
                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                visible: sheet.viewModel.canDelete
                padding: 5
                symbol: "trash"
                symbolSize: 13
                color: Theme.alpha(Theme.red, 0.8)
                hoverHelp: qsTr("Delete Event")
                onClicked: sheet.viewModel.requestDelete()
            }
        }
        Divider { Layout.fillWidth: true }

        Text {
            objectName: "deleteError"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 8
            visible: sheet.viewModel.deleteError !== ""
            text: sheet.viewModel.deleteError
            wrapMode: Text.Wrap
            font: Theme.font(11)
            color: Theme.red
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }

        // Title block.
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 12
            Layout.bottomMargin: 12
            spacing: 10
            Rectangle {
                Layout.fillHeight: true
                Layout.preferredWidth: 4
                radius: 2
                color: sheet.viewModel.color
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 3
                Text {
                    objectName: "detailTitle"
                    Layout.fillWidth: true
                    text: sheet.viewModel.title
                    wrapMode: Text.Wrap
                    font: Theme.font(16, Font.DemiBold)
                    color: Theme.primary
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                RowLayout {
                    visible: sheet.viewModel.isZoho
                    spacing: 4
                    SymbolIcon { name: "cloud.fill"; size: 11; color: Theme.zoho }
                    Text {
                        text: qsTr("Zoho Calendar")
                        font: Theme.font(11)
                        color: Theme.secondary
                    }
                }
            }
        }

        Repeater {
            model: sheet.viewModel.rows
            delegate: ColumnLayout {
                id: entry
                required property var modelData
                Layout.fillWidth: true
                spacing: 0
                Divider { Layout.fillWidth: true; leftInset: 16; rightInset: 16 }
                DetailRow {
                    visible: entry.modelData.kind !== "link" && entry.modelData.kind !== "meeting"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    Layout.topMargin: 8
                    Layout.bottomMargin: 8
                    icon: entry.modelData.icon
                    label: entry.modelData.label
                    accent: entry.modelData.accent
                    labelColor: entry.modelData.kind === "notes" ? Theme.secondary
                                : entry.modelData.accent ? Theme.accent : Theme.primary
                }
                PlainButton {
                    objectName: entry.modelData.kind
                    visible: entry.modelData.kind === "link" || entry.modelData.kind === "meeting"
                    Layout.leftMargin: 14
                    Layout.topMargin: 6
                    Layout.bottomMargin: 6
                    symbol: entry.modelData.icon
                    text: entry.modelData.label
                    color: Theme.accent
                    spacing: 8
                    onClicked: entry.modelData.kind === "meeting" ? sheet.viewModel.joinMeeting()
                                                                  : sheet.viewModel.openLink()
                }
            }
        }

        Divider { Layout.fillWidth: true; visible: sheet.viewModel.showsOpenInCalendar }
        PlainButton {
            objectName: "openInCalendar"
            visible: sheet.viewModel.showsOpenInCalendar
            Layout.leftMargin: 14
            Layout.topMargin: 8
            Layout.bottomMargin: 12
            symbol: "arrow.up.right.square"
            text: qsTr("Open in Calendar")
            font: Theme.font(12)
            color: Theme.accent
            spacing: 6
            onClicked: sheet.viewModel.openInCalendar()
        }
        Item {
            Layout.preferredHeight: 8
            visible: !sheet.viewModel.showsOpenInCalendar
        }
    }
}
