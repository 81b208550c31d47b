// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Popover

// The new-event sheet: title, all day, start, end and the calendar; "Add"
// (or Return in the title) saves, "Cancel" or Escape leaves.
SheetFrame {
    id: sheet

    required property NewEventViewModel viewModel
    // The keyboard's, within the sheet's loader, until the title takes it.
    focus: true

    function focusFirst() { focusDelay.restart() }

    // The title takes the keyboard a moment after the sheet starts to rise.
    Timer {
        id: focusDelay
        interval: sheet.viewModel.titleFocusDelay
        onTriggered: titleField.forceActiveFocus()
    }
    Component.onCompleted: sheet.viewModel.appeared()

    // Letters typed before then are the title's first: a quick typist's
    // Return and title follow each other faster than the sheet rises.
    Keys.onPressed: (event) => {
        const typed = event.text.length > 0 && event.text.charCodeAt(0) >= 32
                && !(event.modifiers & (Qt.ControlModifier | Qt.AltModifier | Qt.MetaModifier))
        if (!focusDelay.running || !typed)
            return
        focusDelay.stop()
        titleField.forceActiveFocus()
        titleField.insert(titleField.cursorPosition, event.text)
        sheet.viewModel.title = titleField.text
        event.accepted = true
    }

    component FormRow: RowLayout {
        property alias symbol: icon.name
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        Layout.topMargin: 7
        Layout.bottomMargin: 7
        spacing: 8
        SymbolIcon {
            id: icon
            Layout.preferredWidth: 18
            size: 13
            color: Theme.secondary
        }
    }

    ColumnLayout {
        width: parent.width
        spacing: 0

        // Header: Cancel, title, Add.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: Theme.scaled(44)
            PlainButton {
                objectName: "cancelForm"
                anchors.left: parent.left
                anchors.leftMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                padding: 4
                text: qsTr("Cancel")
                onClicked: sheet.viewModel.cancel()
            }
            Text {
                anchors.centerIn: parent
                text: qsTr("New Event")
                font: Theme.font(13, Font.DemiBold)
                color: Theme.primary
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            PlainButton {
                objectName: "addEvent"
                anchors.right: parent.right
                anchors.rightMargin: 12
                anchors.verticalCenter: parent.verticalCenter
                padding: 4
                text: qsTr("Add")
                font: Theme.font(13, Font.DemiBold)
                color: sheet.viewModel.canSave ? Theme.accent : Theme.secondary
                onClicked: sheet.viewModel.save()
            }
        }
        Divider { Layout.fillWidth: true }

        FormRow {
            symbol: "pencil"
            PlainTextField {
                id: titleField
                objectName: "titleField"
                Layout.fillWidth: true
                placeholderText: qsTr("Event title")
                text: sheet.viewModel.title
                onTextEdited: sheet.viewModel.title = text
                onAccepted: sheet.viewModel.save()
            }
        }
        Divider { Layout.fillWidth: true; leftInset: 16; rightInset: 16 }

        FormRow {
            symbol: "clock"
            Text {
                Layout.fillWidth: true
                text: qsTr("All day")
                font: Theme.font(13)
                color: Theme.primary
                Accessible.ignored: true
                TapHandler {
                    onTapped: {
                        allDaySwitch.toggle()
                        allDaySwitch.toggled()
                    }
                }
            }
            ToggleSwitch {
                id: allDaySwitch
                objectName: "allDay"
                checked: sheet.viewModel.isAllDay
                onToggled: sheet.viewModel.isAllDay = checked
                Accessible.name: qsTr("All day")
            }
        }
        Divider { Layout.fillWidth: true; leftInset: 16; rightInset: 16 }

        FormRow {
            symbol: "arrow.right.circle"
            DateTimeField {
                objectName: "startField"
                edit: sheet.viewModel.start
                Accessible.name: qsTr("Start")
            }
            Item { Layout.fillWidth: true }
        }
        Divider { Layout.fillWidth: true; leftInset: 16; rightInset: 16 }

        FormRow {
            symbol: "arrow.left.circle"
            DateTimeField {
                objectName: "endField"
                edit: sheet.viewModel.end
                Accessible.name: qsTr("End")
            }
            Item { Layout.fillWidth: true }
        }
        Divider { Layout.fillWidth: true; leftInset: 16; rightInset: 16 }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 6
            Layout.bottomMargin: 6
            spacing: 8
            Item {
                Layout.preferredWidth: 18
                Layout.preferredHeight: 10
                Rectangle {
                    anchors.centerIn: parent
                    width: 10
                    height: 10
                    radius: 5
                    color: sheet.viewModel.targetColor
                }
            }
            MenuPicker {
                id: calendarPicker
                objectName: "calendarPicker"
                Layout.fillWidth: true
                model: sheet.viewModel.targets
                textRole: "name"
                currentIndex: sheet.viewModel.targetIndex
                onActivated: (index) => sheet.viewModel.selectTarget(index)
                displayText: sheet.viewModel.targetName
                symbol: sheet.viewModel.targetIsZoho ? "cloud.fill" : ""
                symbolColor: Theme.zoho
                Accessible.name: qsTr("Calendar")
                delegate: MenuPickerItem {
                    id: entry
                    required property int index
                    required property string name
                    required property bool isZoho
                    required property color targetColor
                    required property string accessibleName
                    width: ListView.view.width
                    text: name
                    highlighted: calendarPicker.highlightedIndex === index
                    Accessible.name: accessibleName
                    contentItem: RowLayout {
                        spacing: 6
                        Rectangle {
                            implicitWidth: 8
                            implicitHeight: 8
                            radius: 4
                            color: entry.targetColor
                            border.width: entry.highlighted ? 1 : 0
                            border.color: Theme.white
                        }
                        Text {
                            Layout.fillWidth: true
                            text: entry.name
                            font: Theme.font(13)
                            color: entry.highlighted ? Theme.white : Theme.primary
                            elide: Text.ElideRight
                        }
                        SymbolIcon {
                            visible: entry.isZoho
                            name: "cloud.fill"
                            size: 11
                            color: entry.highlighted ? Theme.white : Theme.zoho
                        }
                    }
                }
            }
        }

        Text {
            objectName: "saveError"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 10
            visible: sheet.viewModel.saveError !== ""
            text: sheet.viewModel.saveError
            wrapMode: Text.Wrap
            font: Theme.font(11)
            color: Theme.red
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        Item { Layout.preferredHeight: 6 }
    }
}
