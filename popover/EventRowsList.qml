// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources
import Brivane.Popover

// A section's rows, scrolling when they do not fit (the scroll bar then
// stays in view). One stop for the Tab key: Up and Down move along the rows,
// Return or Space opens one.
T.Control {
    id: control

    required property EventRowsModel rows
    // More rows than the list shows: the bar says so.
    property bool scrolls: false
    property bool keyboardUsed: false
    readonly property bool showsFocus: activeFocus && (visualFocus || keyboardUsed)

    signal selected(int row)
    signal joinRequested(int row)

    focusPolicy: Qt.TabFocus
    padding: 0
    clip: true

    Accessible.role: Accessible.List

    Keys.onPressed: (event) => {
        switch (event.key) {
        case Qt.Key_Up: list.decrementCurrentIndex(); break
        case Qt.Key_Down: list.incrementCurrentIndex(); break
        case Qt.Key_Home: list.currentIndex = 0; break
        case Qt.Key_End: list.currentIndex = list.count - 1; break
        case Qt.Key_Space:
        case Qt.Key_Return:
        case Qt.Key_Enter: if (list.currentIndex >= 0) control.selected(list.currentIndex); break
        default: return
        }
        control.keyboardUsed = true
        event.accepted = true
    }
    onActiveFocusChanged: if (!activeFocus) keyboardUsed = false

    contentItem: ListView {
        id: list
        objectName: "rows"
        model: control.rows
        spacing: 2
        bottomMargin: 4
        boundsBehavior: Flickable.StopAtBounds
        currentIndex: 0
        highlightFollowsCurrentItem: false
        reuseItems: true
        // A thin bar at the right edge while the rows move or the pointer is on it.
        T.ScrollBar.vertical: T.ScrollBar {
            id: bar
            objectName: "scrollBar"
            policy: control.scrolls ? T.ScrollBar.AlwaysOn : T.ScrollBar.AsNeeded
            padding: 2
            implicitWidth: 8
            minimumSize: 0.15
            contentItem: Rectangle {
                implicitWidth: 4
                radius: 2
                color: Theme.alpha(Theme.primary, bar.pressed ? 0.45 : 0.3)
                opacity: bar.policy === T.ScrollBar.AlwaysOn || (bar.active && bar.size < 1.0) ? 1 : 0
                Behavior on opacity {
                    NumberAnimation { duration: 250 }
                }
            }
        }
        delegate: AnyEventRowView {
            x: 12
            width: ListView.view.width - 24
            showFocus: control.showsFocus && ListView.isCurrentItem
            onSelected: (index) => control.selected(index)
            onJoinRequested: (index) => control.joinRequested(index)
        }
    }
}
