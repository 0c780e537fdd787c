#include "component/list/ListLayout.h"
#include "ListFakes.h"

#include <QMainWindow>
#include <QSplitter>

using namespace zpp;
using namespace zpp::test;

// A window whose top edge no screen shows comes back centred on the primary screen, no larger
// than it; one that shows enough of its top edge to be taken hold of stays, on either screen.
TEST(ListLayout, AWindowOffEveryScreenComesBackOntoThePrimaryOne) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1000)};
    EXPECT_EQ(OnScreen(QRect(100, 50, 800, 600), screens), QRect(100, 50, 800, 600));
    EXPECT_EQ(OnScreen(QRect(2000, 100, 800, 600), screens), QRect(2000, 100, 800, 600)) << "second screen";
    EXPECT_EQ(OnScreen(QRect(-650, 200, 800, 600), screens), QRect(-650, 200, 800, 600)) << "150 px held";
    EXPECT_EQ(OnScreen(QRect(-700, 200, 800, 600), screens), QRect(560, 220, 800, 600)) << "100 px too few";
    EXPECT_EQ(OnScreen(QRect(5000, 100, 800, 600), screens), QRect(560, 220, 800, 600)) << "a screen gone";
    EXPECT_EQ(OnScreen(QRect(100, -500, 800, 600), screens), QRect(560, 220, 800, 600)) << "title bar above";
    EXPECT_EQ(OnScreen(QRect(4000, 0, 2500, 1500), screens), QRect(0, 0, 1920, 1040)) << "shrunk to fit";
}

// What is captured comes back: geometry, maximised state, column widths by field (a column the
// list no longer has, or a width that is no number, is passed by) and named splitters.
TEST_F(ListFixture, ListLayoutRoundTripsGeometryWidthsAndSplitters) {
    GridHost host;
    InitPlanGrid(host);
    QMainWindow window;
    auto* splitter = new QSplitter(&window);
    splitter->setObjectName("splPanels");
    splitter->addWidget(new QWidget);
    splitter->addWidget(new QWidget);
    window.setCentralWidget(splitter);
    window.setGeometry(20, 30, 640, 480);
    window.show();
    splitter->setSizes({400, 200});
    host.grid.SetColWidth(col::Memo, 31.5);
    const QString saved = CaptureListLayout(window, host.grid);
    EXPECT_TRUE(saved.startsWith("Geometry=20,30,640,480|Maximized=0|Widths=")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("FMemo:31.50,")) << saved.toStdString();

    GridHost other;
    InitPlanGrid(other);
    QMainWindow again;
    auto* panels = new QSplitter(&again);
    panels->setObjectName("splPanels");
    panels->addWidget(new QWidget);
    panels->addWidget(new QWidget);
    again.setCentralWidget(panels);
    const QList<int> sizes = splitter->sizes();
    ApplyListLayout(again, other.grid, saved + "Widths=FGone:9,FItemName:x|");
    again.show();
    EXPECT_EQ(again.geometry(), QRect(20, 30, 640, 480));
    EXPECT_DOUBLE_EQ(other.grid.ColWidth(col::Memo), 31.5);
    EXPECT_EQ(panels->sizes(), sizes);
    ApplyListLayout(again, other.grid, "Maximized=1|");
    EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
}
