// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// Connecting Zoho with a one-time code: first how to make one in Zoho's
// API console, then the field to paste it into. Escape closes the sheet.
FocusScope {
    id: sheet

    required property ZohoCodeEntryViewModel viewModel

    signal closeRequested()

    function focusFirst() {
        if (viewModel && viewModel.step === 1)
            codeField.forceActiveFocus()
        else
            closeButton.forceActiveFocus()
    }

    implicitHeight: card.implicitHeight
    Accessible.role: Accessible.Dialog
    Accessible.name: qsTr("Connect Zoho Calendar")
    Keys.onEscapePressed: sheet.closeRequested()

    SoftShadow {
        anchors.fill: card
        anchors.margins: -extent
        cornerRadius: 12
        blur: 18
        offsetY: 4
        color: Theme.alpha(Theme.black, 0.25)
    }
    Rectangle {
        id: card
        width: parent.width
        implicitHeight: column.implicitHeight + 40
        color: Theme.windowBackground
        radius: 12
        // Square at the top, where the sheet hangs from the title bar.
        Rectangle {
            width: parent.width
            height: parent.radius
            color: parent.color
        }

        ColumnLayout {
            id: column
            x: 20
            y: 20
            width: parent.width - 40
            spacing: 12

            RowLayout {
                Layout.fillWidth: true
                Text {
                    Layout.fillWidth: true
                    text: qsTr("Connect Zoho Calendar")
                    font: Theme.font(15, Font.DemiBold)
                    color: Theme.primary
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                PlainButton {
                    id: closeButton
                    objectName: "closeSheet"
                    symbol: "xmark.circle.fill"
                    symbolSize: 18
                    color: Theme.alpha(Theme.secondary, 0.6)
                    hoverHelp: qsTr("Close")
                    onClicked: sheet.closeRequested()
                }
            }

            // Step 0: how to make a code.
            ColumnLayout {
                objectName: "instructions"
                visible: sheet.viewModel && sheet.viewModel.step === 0
                Layout.fillWidth: true
                spacing: 9

                Text {
                    Layout.fillWidth: true
                    text: qsTr("Follow these steps in the Zoho API Console:")
                    font: Theme.font(13)
                    color: Theme.secondary
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Repeater {
                    model: sheet.viewModel ? sheet.viewModel.steps : []
                    ZohoStep {
                        required property var modelData
                        Layout.fillWidth: true
                        n: modelData.n
                        text: modelData.styledText
                        plainText: modelData.plainText
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 6
                    spacing: 8
                    BorderedButton {
                        objectName: "copyScopes"
                        text: qsTr("Copy scopes")
                        symbol: "doc.on.doc"
                        onClicked: sheet.viewModel.copyScopes()
                    }
                    BorderedButton {
                        objectName: "openConsole"
                        text: qsTr("Open Zoho Console")
                        symbol: "arrow.up.right.square"
                        onClicked: sheet.viewModel.openConsole()
                    }
                    Item { Layout.fillWidth: true }
                }
                BorderedButton {
                    objectName: "haveCode"
                    Layout.alignment: Qt.AlignRight
                    prominent: true
                    text: qsTr("I have my code")
                    symbol: "arrow.right"
                    onClicked: {
                        sheet.viewModel.showCodeStep()
                        codeField.forceActiveFocus()
                    }
                }
            }

            // Step 1: the code.
            ColumnLayout {
                objectName: "codeEntry"
                visible: sheet.viewModel && sheet.viewModel.step === 1
                Layout.fillWidth: true
                spacing: 10

                Text {
                    Layout.fillWidth: true
                    text: qsTr("Paste the code from the Zoho Console below.\nCodes expire in 10 minutes \u2014 don't wait!")
                    font: Theme.font(13)
                    color: Theme.secondary
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Text {
                    text: qsTr("Authorization code")
                    font: Theme.font(12, Font.Medium)
                    color: Theme.primary
                    Accessible.ignored: true
                }
                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: Theme.scaled(30)
                    radius: 6
                    color: Theme.alpha(Theme.primary, 0.05)
                    border.width: 1
                    border.color: codeField.activeFocus ? Theme.alpha(Theme.accent, 0.8) : Theme.alpha(Theme.primary, 0.15)
                    PlainTextField {
                        id: codeField
                        objectName: "codeField"
                        anchors.fill: parent
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        placeholderText: qsTr("Paste code here\u2026")
                        Accessible.name: qsTr("Authorization code")
                        Accessible.description: placeholderText
                        text: sheet.viewModel ? sheet.viewModel.code : ""
                        onTextEdited: sheet.viewModel.code = text
                        onAccepted: sheet.viewModel.connectZoho()
                    }
                }
                RowLayout {
                    objectName: "exchangeError"
                    visible: sheet.viewModel && sheet.viewModel.error !== ""
                    Layout.fillWidth: true
                    spacing: 6
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: sheet.viewModel ? sheet.viewModel.error : ""
                    SymbolIcon {
                        Layout.alignment: Qt.AlignTop
                        name: "exclamationmark.triangle.fill"
                        size: 12
                        color: Theme.red
                    }
                    Text {
                        Layout.fillWidth: true
                        text: sheet.viewModel ? sheet.viewModel.error : ""
                        font: Theme.font(11)
                        color: Theme.red
                        wrapMode: Text.Wrap
                        Accessible.ignored: true
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    Item { Layout.fillWidth: true }
                    BorderedButton {
                        objectName: "connectButton"
                        prominent: true
                        enabled: sheet.viewModel && sheet.viewModel.canConnect
                        busy: sheet.viewModel && sheet.viewModel.isExchanging
                        text: sheet.viewModel ? sheet.viewModel.connectText : ""
                        onClicked: sheet.viewModel.connectZoho()
                    }
                }
            }
        }
    }
}
