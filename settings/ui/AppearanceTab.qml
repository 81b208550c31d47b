// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// Display options: weekend dimming and week numbers in the popover's month
// grid; reminders of events; starting at login.
ScrollPage {
    id: tab

    required property AppearanceTabViewModel viewModel

    objectName: "appearanceTab"
    Accessible.role: Accessible.PageTab
    Accessible.name: qsTr("Appearance")

    SectionHeader {
        title: qsTr("Calendar")
        leftPadding: 20
        rightPadding: 20
        topPadding: 16
        bottomPadding: 8
    }
    ToggleRow {
        objectName: "dimWeekendsRow"
        width: tab.width
        label: qsTr("Dim weekends")
        subtitle: qsTr("Saturday and Sunday appear slightly muted")
        isOn: tab.viewModel.dimWeekends
        onSwitched: (on) => tab.viewModel.dimWeekends = on
    }
    ToggleRow {
        objectName: "showWeekNumbersRow"
        width: tab.width
        label: qsTr("Show Week Numbers")
        subtitle: qsTr("A narrow column of ISO week numbers beside the month")
        isOn: tab.viewModel.showWeekNumbers
        onSwitched: (on) => tab.viewModel.showWeekNumbers = on
    }
    Item {
        width: tab.width
        height: 9
        Divider {
            anchors.bottom: parent.bottom
            width: parent.width
            inset: 20
        }
    }
    SectionHeader {
        title: qsTr("Notifications")
        leftPadding: 20
        rightPadding: 20
        topPadding: 16
        bottomPadding: 8
    }
    ToggleRow {
        objectName: "showRemindersRow"
        width: tab.width
        label: qsTr("Show Reminders")
        subtitle: qsTr("Events' alarms appear as desktop notifications")
        isOn: tab.viewModel.showReminders
        onSwitched: (on) => tab.viewModel.showReminders = on
    }
    Item {
        objectName: "defaultReminderRow"
        width: tab.width
        implicitHeight: reminderRow.implicitHeight + 16
        RowLayout {
            id: reminderRow
            anchors.fill: parent
            anchors.leftMargin: 20
            anchors.rightMargin: 20
            anchors.topMargin: 8
            anchors.bottomMargin: 8
            spacing: 12
            Text {
                Layout.fillWidth: true
                text: qsTr("Default Reminder")
                font: Theme.font(13)
                color: Theme.primary
                wrapMode: Text.Wrap
                Accessible.ignored: true
            }
            MenuPicker {
                objectName: "defaultReminderPicker"
                // Room for the longest choice ("10 minutes before", or its
                // translation); the text alone does not size the picker.
                Layout.preferredWidth: Theme.scaled(180)
                model: tab.viewModel.defaultReminderChoices
                currentIndex: tab.viewModel.defaultReminderIndex
                onActivated: (index) => tab.viewModel.defaultReminderIndex = index
                Accessible.name: qsTr("Default Reminder")
                Accessible.description: qsTr("For timed events without alarms of their own")
            }
        }
    }
    Item {
        width: tab.width
        height: 9
        Divider {
            anchors.bottom: parent.bottom
            width: parent.width
            inset: 20
        }
    }
    SectionHeader {
        title: qsTr("Startup")
        leftPadding: 20
        rightPadding: 20
        topPadding: 16
        bottomPadding: 8
    }
    ToggleRow {
        objectName: "launchAtLoginRow"
        width: tab.width
        label: qsTr("Open at Login")
        subtitle: qsTr("brivane starts in the panel when you log in")
        isOn: tab.viewModel.launchAtLogin
        onSwitched: (on) => tab.viewModel.launchAtLogin = on
    }
    Text {
        objectName: "launchAtLoginError"
        visible: text !== ""
        width: tab.width
        leftPadding: 20
        rightPadding: 20
        bottomPadding: 8
        wrapMode: Text.Wrap
        text: tab.viewModel.launchAtLoginError
        font: Theme.font(11)
        color: Theme.red
    }
}
