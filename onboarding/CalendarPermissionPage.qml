// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Onboarding

// The second page: asks for the calendars, and says how it went.
Item {
    id: page

    required property OnboardingViewModel viewModel
    property alias requestButton: request

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 56
        spacing: 16

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 80
            implicitHeight: 80
            radius: 40
            color: Theme.alpha(Theme.accent, 0.12)
            SymbolIcon {
                anchors.centerIn: parent
                name: page.viewModel.calendarGranted ? "checkmark.circle.fill" : "calendar.badge.clock"
                size: 38
                color: page.viewModel.calendarGranted ? Theme.green : Theme.accent
            }
        }
        Text {
            objectName: "accessTitle"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: page.viewModel.accessTitle
            font: Theme.font(22, Font.Bold)
            color: Theme.primary
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: page.viewModel.accessBody
            font: Theme.font(14)
            color: Theme.secondary
            wrapMode: Text.WordWrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        PrimaryButton {
            id: request
            objectName: "grantAccess"
            visible: !page.viewModel.calendarGranted
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.max(Theme.scaled(220), implicitWidth)
            Layout.preferredHeight: Theme.scaled(40)
            Layout.topMargin: 6
            symbolFirst: true
            spacing: 8
            symbol: "calendar"
            symbolSize: 14
            busy: page.viewModel.isRequestingAccess
            text: page.viewModel.requestText
            onClicked: page.viewModel.askForCalendarAccess()
        }
        Text {
            visible: !page.viewModel.calendarGranted
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("You can also add calendars later in\nSettings \u2192 Online Accounts")
            font: Theme.font(11)
            color: Theme.alpha(Theme.secondary, 0.7)
            Accessible.role: Accessible.StaticText
            Accessible.name: text.replace("\n", " ")
        }
    }
}
