#include "graph/widgets/Navigator.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// A style on which one click activates an item.
struct SingleClickStyle : QProxyStyle {
    int styleHint(StyleHint h, const QStyleOption *o, const QWidget *w, QStyleHintReturn *r) const override {
        return h == SH_ItemView_ActivateItemOnSingleClick ? 1 : QProxyStyle::styleHint(h, o, w, r);
    }
};

TEST(Navigator, EachGestureOpensTheTargetOnce) {
    test::TestDir dir;
    for (bool singleClickStyle : {false, true})
        for (QEvent::Type gesture : {QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick, QEvent::KeyPress}) {
            TNavigator nav;
            SingleClickStyle style;
            if (singleClickStyle)
                nav.Tree()->setStyle(&style);
            nav.Fill();
            int opened = 0;
            nav.IsConnected = [] { return true; };
            nav.OpenMonitor = [&] { ++opened; };
            nav.show();
            QTreeWidgetItem *monitor = nav.Root()->child(0);
            QWidget *viewport = nav.Tree()->viewport();
            const QPoint at = nav.Tree()->visualItemRect(monitor).center();
            if (gesture == QEvent::KeyPress) {
                nav.Tree()->setCurrentItem(monitor);
                QTest::keyClick(nav.Tree(), Qt::Key_Return);
            } else {
                // As the window system delivers them: a double click's second press comes as such.
                QList<QEvent::Type> events = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
                if (gesture == QEvent::MouseButtonDblClick)
                    events << QEvent::MouseButtonDblClick << QEvent::MouseButtonRelease;
                for (QEvent::Type t : events) {
                    QMouseEvent e(t, at, viewport->mapToGlobal(at), Qt::LeftButton,
                                  t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
                    QApplication::sendEvent(viewport, &e);
                }
            }
            EXPECT_EQ(opened, 1) << "single-click style " << singleClickStyle << ", gesture " << gesture;
            nav.Tree()->setStyle(nullptr);
        }
}

} // namespace
