// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources

// A tab's vertical scroll view: children stack in a column; a thin bar
// shows while the content moves or is taller than the view; a control
// that takes the keyboard out of sight is scrolled into view.
Flickable {
    id: page

    default property alias content: column.data
    property real bottomPadding: 16

    clip: true
    contentWidth: width
    contentHeight: column.implicitHeight + bottomPadding
    boundsBehavior: Flickable.StopAtBounds

    function ensureVisible(item) {
        const top = item.mapToItem(column, 0, 0).y
        if (top < contentY)
            contentY = Math.max(0, top - 8)
        else if (top + item.height > contentY + height)
            contentY = Math.min(contentHeight - height, top + item.height - height + 8)
    }

    Column {
        id: column
        width: page.width
    }

    T.ScrollBar.vertical: T.ScrollBar {
        id: bar
        policy: T.ScrollBar.AsNeeded
        padding: 2
        implicitWidth: 8
        minimumSize: 0.15
        contentItem: Rectangle {
            implicitWidth: 4
            radius: 2
            color: Theme.alpha(Theme.primary, bar.pressed ? 0.45 : 0.3)
            opacity: bar.size < 1.0 ? (bar.active ? 1 : 0.5) : 0
        }
    }
}
