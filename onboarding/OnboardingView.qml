import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Brivane.Onboarding

// First-run window; the pages come later.
Rectangle {
    id: root

    required property OnboardingViewModel viewModel

    color: palette.window

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 20

        Label {
            text: qsTr("Welcome to brivane")
            font.pixelSize: 24
            font.bold: true
            Layout.alignment: Qt.AlignHCenter
        }
        Button {
            objectName: "getStartedButton"
            text: qsTr("Get Started")
            highlighted: true
            Layout.alignment: Qt.AlignHCenter
            onClicked: root.viewModel.finishOnboarding()
        }
    }
}
