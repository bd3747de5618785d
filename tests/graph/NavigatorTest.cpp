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

// A style on which one click activates an item (as KDE's may be set up).
class SingleClickStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == SH_ItemView_ActivateItemOnSingleClick)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

TEST(Navigator, EachGestureOpensTheTargetOnce) {
    test::TestDir dir;
    enum Gesture { Click, DoubleClick, Enter };
    for (bool singleClickStyle : {false, true})
        for (Gesture gesture : {Click, DoubleClick, Enter}) {
            SCOPED_TRACE(testing::Message() << "single-click style " << singleClickStyle << ", gesture " << gesture);
            TNavigator nav;
            SingleClickStyle style;
            if (singleClickStyle)
                nav.Tree()->setStyle(&style);
            nav.Fill();
            int opened = 0;
            nav.IsConnected = [] { return true; };
            nav.OpenMonitor = [&] { ++opened; };
            nav.resize(220, 320);
            nav.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));
            QTreeWidgetItem *monitor = nav.Root()->child(0);
            const QPoint at = nav.Tree()->visualItemRect(monitor).center();
            QWidget *viewport = nav.Tree()->viewport();
            switch (gesture) {
            case Click: QTest::mouseClick(viewport, Qt::LeftButton, {}, at); break;
            case DoubleClick:
                // As the window system delivers it: the second press comes as a double click.
                for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                       QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
                    QMouseEvent e(t, at, viewport->mapToGlobal(at), Qt::LeftButton,
                                  t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
                    QApplication::sendEvent(viewport, &e);
                }
                break;
            case Enter:
                nav.Tree()->setCurrentItem(monitor);
                QTest::keyClick(nav.Tree(), Qt::Key_Return);
                break;
            }
            EXPECT_EQ(opened, 1);
            nav.Tree()->setStyle(nullptr);
        }
}

} // namespace
