// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Onboarding

// The first-run window: three pages (welcome, calendar access, how-to)
// under a page indicator, over the bar with Back and the way on. A new page
// slides in from the trailing edge as the old one leaves the other way.
FocusScope {
    id: root

    required property OnboardingViewModel viewModel
    // 0 while a page change starts, 1 once it has settled.
    property real slideProgress: 1
    property int leavingPage: -1
    property int lastPage: viewModel.page

    focus: true
    Accessible.role: Accessible.Pane
    Accessible.name: qsTr("Welcome to brivane")

    Shortcut {
        sequence: "Ctrl+W"
        onActivated: root.Window.window.close()
    }

    Connections {
        target: root.viewModel
        function onPageChanged() {
            root.leavingPage = root.lastPage
            root.lastPage = root.viewModel.page
            slide.restart()
            Qt.callLater(root.focusBar)
        }
    }

    // The keyboard stays in the bar when the page or the button it was on goes.
    function focusBar() {
        if (back.activeFocus && back.visible)
            return
        if (trailing.visible)
            trailing.forceActiveFocus()
        else
            skip.forceActiveFocus()
    }
    NumberAnimation {
        id: slide
        target: root
        property: "slideProgress"
        from: 0
        to: 1
        duration: 350
        easing.type: Easing.InOutQuad
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.windowBackground
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Row {
            objectName: "pageIndicator"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 24
            spacing: 6
            Accessible.role: Accessible.StaticText
            Accessible.name: qsTr("Page %1 of %2").arg(root.viewModel.page + 1).arg(root.viewModel.pageCount)

            Repeater {
                model: root.viewModel.pageCount
                Rectangle {
                    required property int index
                    objectName: "dot " + index
                    width: 6
                    height: 6
                    radius: 3
                    color: index === root.viewModel.page ? Theme.accent : Theme.alpha(Theme.primary, 0.15)
                    Behavior on color {
                        ColorAnimation { duration: 200; easing.type: Easing.InOutQuad }
                    }
                }
            }
        }

        Item {
            id: pages
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true

            component Slide: Item {
                required property int pageIndex
                readonly property bool current: pageIndex === root.viewModel.page
                readonly property bool leaving: pageIndex === root.leavingPage && root.slideProgress < 1
                width: pages.width
                height: pages.height
                visible: current || leaving
                x: current ? pages.width * (1 - root.slideProgress) : -pages.width * root.slideProgress
                opacity: current ? root.slideProgress : 1 - root.slideProgress
                enabled: current
            }

            Slide {
                pageIndex: 0
                objectName: "welcomePage"
                WelcomePage {
                    anchors.fill: parent
                }
            }
            Slide {
                pageIndex: 1
                objectName: "calendarPermissionPage"
                CalendarPermissionPage {
                    anchors.fill: parent
                    viewModel: root.viewModel
                }
            }
            Slide {
                pageIndex: 2
                objectName: "howToPage"
                HowToPage {
                    anchors.fill: parent
                    steps: root.viewModel.steps
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 28
            Layout.rightMargin: 28
            Layout.bottomMargin: 24
            Layout.minimumHeight: 34

            PlainButton {
                id: back
                objectName: "back"
                visible: root.viewModel.showsBack
                text: qsTr("Back")
                color: Theme.secondary
                onClicked: root.viewModel.goToPreviousPage()
            }
            Item { Layout.fillWidth: true }
            PlainButton {
                id: skip
                objectName: "skip"
                visible: root.viewModel.trailingButton === OnboardingViewModel.SkipButton
                text: root.viewModel.trailingText
                color: Theme.secondary
                onClicked: root.viewModel.pressTrailingButton()
            }
            PrimaryButton {
                id: trailing
                objectName: "trailing"
                visible: root.viewModel.trailingButton !== OnboardingViewModel.SkipButton
                focus: true
                text: root.viewModel.trailingText
                symbol: root.viewModel.trailingSymbol
                onClicked: root.viewModel.pressTrailingButton()
            }
        }
    }
}
