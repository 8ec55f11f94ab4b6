// The Qt toolkit on real widgets under the offscreen platform: the effects
// each operation promises, the window's frame and controls, event delivery
// and what assistive technology reads.
#include "platform/toolkit/qt/qt_toolkit.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QTest>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/toolkit/qt/qt_driver.h"
#include "platform/toolkit/qt/qt_internal.h"

namespace velk::platform {
namespace {

enum : ControlId {
  kWindow = 1,
  kLabel,
  kEdit,
  kButton,
  kList,
  kBar,
  kProgress,
  kTimer,
  kBox,
};

constexpr char kZhongWen[] = "\xD6\xD0\xCE\xC4";  // 中文
constexpr char kSearch[] = "\xCB\xD1\xCB\xF7";    // 搜索
constexpr char kCount[] =
    "\xCA\xFD\xC1\xBF\xA3\xBA"
    "0";  // 数量：0

class QtToolkitTest : public ::testing::Test {
 protected:
  QtToolkitTest() : driver_(toolkit_) {}

  WindowTable Table() {
    WindowTable table;
    table.id = kWindow;
    table.caption = std::string("VELK") + kZhongWen;
    table.outerWidth = 646;
    table.outerHeight = 498;
    table.clientWidth = 640;
    table.clientHeight = 469;
    table.onCreated = [this] { events_.push_back("created"); };
    auto add = [&table](ControlId id, const char* name, ControlKind kind,
                        Rect rect) -> ControlEntry& {
      ControlEntry& c = table.controls.emplace_back();
      c.id = id;
      c.name = name;
      c.kind = kind;
      c.rect = rect;
      return c;
    };
    add(kLabel, "label", ControlKind::kLabel, {16, 8, 80, 32}).text = kZhongWen;
    add(kEdit, "edit", ControlKind::kEdit, {96, 9, 136, 23});
    ControlEntry& button =
        add(kButton, "button", ControlKind::kButton, {248, 8, 88, 24});
    button.text = kSearch;
    button.onClick = [this] { events_.push_back("click"); };
    ControlEntry& list =
        add(kList, "list", ControlKind::kList, {0, 48, 640, 408});
    list.columns = {{"a", 100}, {"b", 80}, {kZhongWen, 450}};
    list.onDoubleClick = [this] {
      events_.push_back("double " +
                        std::to_string(toolkit_.SelectedRow(kList)));
    };
    add(kBar, "bar", ControlKind::kStatusBar, {0, 449, 640, 20}).parts = {
        {100, kCount}, {180, "b"}, {360, "c"}};
    add(kProgress, "progress", ControlKind::kProgressBar, {314, 455, 312, 10});
    add(kTimer, "timer", ControlKind::kTimer, {}).onElapsed = [this] {
      events_.push_back("tick");
    };
    add(kBox, "box", ControlKind::kTextBox, {648, 424, 48, 24}).hidden = true;
    return table;
  }

  void Create() {
    ASSERT_TRUE(toolkit_.CreateMainWindow(Table()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(toolkit_.impl().window.get()));
  }
  template <typename W>
  W* Widget(ControlId id) {
    return static_cast<W*>(toolkit_.impl().controls.at(id).widget);
  }
  void FillRows(int count) {
    for (int i = 0; i < count; ++i) {
      int row = toolkit_.AppendRow(kList);
      toolkit_.SetCellText(kList, row, 2, "link" + std::to_string(i));
    }
  }

  QtToolkit toolkit_;
  QtDriver driver_;
  std::vector<std::string> events_;
};

TEST_F(QtToolkitTest, CreatesEveryControlAtItsPlaceThenRunsCreatedOnce) {
  Create();
  EXPECT_EQ(events_, std::vector<std::string>{"created"});
  for (const ControlEntry& c : Table().controls) {
    if (c.kind == ControlKind::kTimer) continue;
    SCOPED_TRACE(c.name);
    EXPECT_EQ(driver_.ControlRect(c.id), c.rect);
    EXPECT_EQ(driver_.ControlVisible(c.id), !c.hidden);
  }
  EXPECT_FALSE(driver_.TimerRunning(kTimer));
  // The progress bar lies above the status bar.
  QWidget* window = toolkit_.impl().window.get();
  EXPECT_EQ(window->childAt(320, 460), Widget<QWidget>(kProgress));
  // A second window is refused.
  EXPECT_FALSE(toolkit_.CreateMainWindow(Table()));
}

TEST_F(QtToolkitTest, RefusesATableThatNamesAControlTwice) {
  WindowTable table = Table();
  table.controls.push_back(table.controls.front());
  EXPECT_FALSE(toolkit_.CreateMainWindow(table));
  EXPECT_TRUE(events_.empty());
}

TEST_F(QtToolkitTest, WindowHasAFixedToolFrameWithOnlyACloseBoxCentred) {
  Create();
  QWidget* window = toolkit_.impl().window.get();
  Qt::WindowFlags flags = window->windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(driver_.ClientWidth(), 640);
  EXPECT_EQ(driver_.ClientHeight(), 469);
  EXPECT_FALSE(driver_.Resizable());
  window->resize(800, 600);
  EXPECT_EQ(window->size(), QSize(640, 469));
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(driver_.WindowX(), area.x() + (area.width() - 646) / 2);
  EXPECT_EQ(driver_.WindowY(), area.y() + (area.height() - 498) / 2);
  EXPECT_EQ(window->backgroundRole(), QPalette::Window);
  EXPECT_TRUE(window->autoFillBackground());
}

TEST_F(QtToolkitTest, IconHas32And48ImagesIn32BitColour) {
  Create();
  QIcon icon = toolkit_.impl().window->windowIcon();
  QList<QSize> sizes = icon.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(48, 48)));
  for (int size : {32, 48}) {
    SCOPED_TRACE(size);
    QImage image = DrawAppIcon(size);
    EXPECT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(image.depth(), 32);
    EXPECT_TRUE(image.hasAlphaChannel());
    // Drawn, not blank: the corner is clear and the middle is not.
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_GT(qAlpha(image.pixel(size / 2, size / 2)), 0);
  }
}

TEST_F(QtToolkitTest, FontDrawsEveryChineseCharacterOfTheWindow) {
  Create();
  QFont font = Widget<QLabel>(kLabel)->font();
  QRawFont raw = QRawFont::fromFont(font);
  ASSERT_TRUE(raw.isValid());
  // 请输入番号搜索名称大小磁性链接迅雷下载双击打开数量状态进度待中完成无资源或者重新严错误种子器群
  const QString chinese = QString::fromUtf8(
      "\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE7\x95\xAA\xE5\x8F\xB7\xE6\x90\x9C"
      "\xE7\xB4\xA2\xE5\x90\x8D\xE7\xA7\xB0\xE5\xA4\xA7\xE5\xB0\x8F\xE7\xA3\x81"
      "\xE6\x80\xA7\xE9\x93\xBE\xE6\x8E\xA5\xE8\xBF\x85\xE9\x9B\xB7\xE4\xB8\x8B"
      "\xE8\xBD\xBD\xE5\x8F\x8C\xE5\x87\xBB\xE6\x89\x93\xE5\xBC\x80\xE6\x95\xB0"
      "\xE9\x87\x8F\xE7\x8A\xB6\xE6\x80\x81\xE8\xBF\x9B\xE5\xBA\xA6\xE5\xBE\x85"
      "\xE4\xB8\xAD\xE5\xAE\x8C\xE6\x88\x90\xE6\x97\xA0\xE8\xB5\x84\xE6\xBA\x90"
      "\xE6\x88\x96\xE8\x80\x85\xE9\x87\x8D\xE6\x96\xB0\xE4\xB8\xA5\xE9\x94\x99"
      "\xE8\xAF\xAF\xE7\xA7\x8D\xE5\xAD\x90\xE5\x99\xA8\xE7\xBE\xA4\xEF\xBC"
      "\x9A");
  for (QChar ch : chinese) {
    EXPECT_TRUE(raw.supportsCharacter(ch))
        << "U+" << std::hex << static_cast<int>(ch.unicode());
  }
}

TEST_F(QtToolkitTest, TextsCrossAs936BothWays) {
  Create();
  toolkit_.SetCaption(kWindow, kZhongWen);
  EXPECT_EQ(toolkit_.impl().window->windowTitle(), QString::fromUtf8("中文"));
  EXPECT_EQ(Widget<QLabel>(kLabel)->text(), QString::fromUtf8("中文"));
  EXPECT_EQ(Widget<QPushButton>(kButton)->text(), QString::fromUtf8("搜索"));
  EXPECT_EQ(driver_.PartText(kBar, 0), kCount);
  EXPECT_EQ(driver_.ColumnTitle(kList, 2), kZhongWen);

  struct Case {
    const char* name;
    std::string text;
  };
  const Case kCases[] = {
      {"empty", ""},
      {"ascii", "ABC-123"},
      {"chinese", kZhongWen},
      {"mixed with full-width colon", kCount},
      {"euro sign byte", "\x80"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    toolkit_.SetControlText(kEdit, c.text);
    EXPECT_EQ(toolkit_.ControlText(kEdit), c.text);
    toolkit_.SetControlText(kBox, c.text);
    EXPECT_EQ(toolkit_.ControlText(kBox), c.text);
    toolkit_.SetPartText(kBar, 1, c.text);
    EXPECT_EQ(driver_.PartText(kBar, 1), c.text);
    int row = toolkit_.AppendRow(kList);
    toolkit_.SetCellText(kList, row, 1, c.text);
    EXPECT_EQ(toolkit_.CellText(kList, row, 1), c.text);
  }
  EXPECT_EQ(Widget<QLineEdit>(kEdit)->text(),
            QString::fromUtf8("\xE2\x82\xAC"));
}

TEST_F(QtToolkitTest, TextBoxIsHiddenPlainTextAndKeepsLongTexts) {
  Create();
  auto* box = Widget<QPlainTextEdit>(kBox);
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  // Beyond the right edge of the client area as well.
  EXPECT_GE(box->x(), driver_.ClientWidth());
  std::string big;
  for (int i = 0; i < 20000; ++i) big += std::string(kZhongWen) + "<td>";
  toolkit_.SetControlText(kBox, big);
  EXPECT_EQ(toolkit_.ControlText(kBox), big);
  // Markup is kept as text, never interpreted.
  toolkit_.SetControlText(kBox, "<b>x</b>&amp;");
  EXPECT_EQ(toolkit_.ControlText(kBox), "<b>x</b>&amp;");

  // Shown, the box holds the text in its document; set while shown, the
  // document takes it at once; either way the text reads back.
  std::string lines = std::string(kZhongWen) + "\n<tr>\nend";
  toolkit_.SetControlText(kBox, lines);
  box->show();
  EXPECT_EQ(box->toPlainText(), QString::fromUtf8("中文\n<tr>\nend"));
  EXPECT_EQ(toolkit_.ControlText(kBox), lines);
  toolkit_.SetControlText(kBox, kZhongWen);
  EXPECT_EQ(box->toPlainText(), QString::fromUtf8("中文"));
  EXPECT_EQ(toolkit_.ControlText(kBox), kZhongWen);
  box->hide();
  toolkit_.SetControlText(kBox, "");
  EXPECT_EQ(toolkit_.ControlText(kBox), "");
}

TEST_F(QtToolkitTest, ListCellsAndRowsKeepTheirEdges) {
  Create();
  EXPECT_EQ(toolkit_.RowCount(kList), 0);
  EXPECT_EQ(toolkit_.AppendRow(kList), 0);
  EXPECT_EQ(toolkit_.AppendRow(kList), 1);
  EXPECT_EQ(toolkit_.RowCount(kList), 2);
  // A new row's cells are empty; cells outside the list are empty and
  // cannot be set.
  EXPECT_EQ(toolkit_.CellText(kList, 1, 0), "");
  toolkit_.SetCellText(kList, 0, 0, "x");
  toolkit_.SetCellText(kList, 0, 0, "y");
  EXPECT_EQ(toolkit_.CellText(kList, 0, 0), "y");
  for (auto [row, column] : {std::pair{-1, 0}, {2, 0}, {0, 3}, {0, -1}}) {
    toolkit_.SetCellText(kList, row, column, "z");
    EXPECT_EQ(toolkit_.CellText(kList, row, column), "");
  }
  EXPECT_EQ(toolkit_.RowCount(kList), 2);
  EXPECT_EQ(toolkit_.SelectedRow(kList), -1);
  // Calls on a control of another kind do nothing.
  EXPECT_EQ(toolkit_.AppendRow(kBar), -1);
  EXPECT_EQ(toolkit_.RowCount(kEdit), 0);
  EXPECT_EQ(toolkit_.ControlText(kList), "");
  toolkit_.ClearRows(kList);
  EXPECT_EQ(toolkit_.RowCount(kList), 0);
}

TEST_F(QtToolkitTest, ListIsAnUnsortedSingleRowReportWithAFixedHeader) {
  Create();
  auto* list = Widget<QTableView>(kList);
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_FALSE(list->wordWrap());
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(list->verticalHeader()->isVisible());
  EXPECT_TRUE(list->horizontalHeader()->isVisible());
  EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());
  for (auto [column, width] : {std::pair{0, 100}, {1, 80}, {2, 450}}) {
    EXPECT_EQ(driver_.ColumnWidth(kList, column), width);
  }
  EXPECT_EQ(list->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(list->palette().color(QPalette::Text), QColor(Qt::black));

  // Clicking a header leaves the rows in their order.
  for (const char* link : {"b", "c", "a"}) {
    toolkit_.SetCellText(kList, toolkit_.AppendRow(kList), 0, link);
  }
  QHeaderView* header = list->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionPosition(0) + 10, 5));
  EXPECT_EQ(toolkit_.CellText(kList, 0, 0), "b");
  EXPECT_EQ(toolkit_.CellText(kList, 2, 0), "a");
  // A long cell stays on one row.
  toolkit_.SetCellText(kList, 0, 2, std::string(2000, 'm'));
  EXPECT_EQ(list->rowHeight(0), list->rowHeight(1));
}

TEST_F(QtToolkitTest, StatusPartsFollowEachOtherAndIgnoreOtherNumbers) {
  Create();
  EXPECT_EQ(driver_.PartRect(kBar, 0), (Rect{0, 0, 100, 20}));
  EXPECT_EQ(driver_.PartRect(kBar, 1), (Rect{100, 0, 180, 20}));
  EXPECT_EQ(driver_.PartRect(kBar, 2), (Rect{280, 0, 360, 20}));
  toolkit_.SetPartText(kBar, 3, "x");
  toolkit_.SetPartText(kBar, -1, "x");
  EXPECT_EQ(driver_.PartText(kBar, 0), kCount);
  EXPECT_EQ(driver_.PartText(kBar, 1), "b");
  EXPECT_EQ(driver_.PartText(kBar, 2), "c");
}

TEST_F(QtToolkitTest, ProgressStoresUpTo32767AndShowsWithinItsRange) {
  Create();
  struct Case {
    const char* name;
    int set;
    int stored;
    int shown;
  };
  const Case kCases[] = {
      {"inside", 50, 50, 50},
      {"below", -5, 0, 0},
      {"past the range", 101, 101, 100},
      {"ceiling", 32767, 32767, 100},
      {"past the ceiling", 40000, 32767, 100},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    toolkit_.SetProgressPosition(kProgress, c.set);
    EXPECT_EQ(toolkit_.ProgressPosition(kProgress), c.stored);
    EXPECT_EQ(driver_.ShownProgress(kProgress), c.shown);
  }
  auto* bar = Widget<QProgressBar>(kProgress);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_FALSE(bar->isTextVisible());
}

TEST_F(QtToolkitTest, TimerElapsesOnlyWhileEventsAreHandled) {
  Create();
  toolkit_.SetTimerPeriod(kTimer, 10);
  EXPECT_TRUE(driver_.TimerRunning(kTimer));
  // The thread is busy: periods pass, but nothing is delivered.
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_TRUE(events_.size() == 1);  // "created"
  toolkit_.PumpEvents();
  EXPECT_GE(std::count(events_.begin(), events_.end(), "tick"), 1);
  driver_.RunFor(60);
  size_t ticks = std::count(events_.begin(), events_.end(), "tick");
  EXPECT_GE(ticks, 2u);
  toolkit_.SetTimerPeriod(kTimer, 0);
  EXPECT_FALSE(driver_.TimerRunning(kTimer));
  driver_.RunFor(60);
  EXPECT_EQ(
      static_cast<size_t>(std::count(events_.begin(), events_.end(), "tick")),
      ticks);
}

TEST_F(QtToolkitTest, PumpHandlesQueuedInputAndLeavesAQuitPending) {
  Create();
  driver_.PostClick(kButton);
  driver_.PostClick(kButton);
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "click"), 0);
  toolkit_.PumpEvents();
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "click"), 2);

  // In the loop: a handler closes the window and pumps; the handler goes on
  // after the pump, and the loop ends once it returns.
  QTimer::singleShot(0, [this] {
    driver_.Close();
    toolkit_.PumpEvents();
    events_.push_back("after pump");
  });
  EXPECT_EQ(toolkit_.RunEventLoop(), 0);
  EXPECT_EQ(events_.back(), "after pump");
  EXPECT_FALSE(driver_.WindowVisible());
}

TEST_F(QtToolkitTest, ClosingTheWindowEndsTheLoopWithZero) {
  Create();
  QTimer::singleShot(20, [this] { driver_.Close(); });
  // Bounded: should the close not end the loop, this quits it anyway.
  bool timedOut = false;
  QTimer::singleShot(5000, [&timedOut] {
    timedOut = true;
    QCoreApplication::quit();
  });
  EXPECT_EQ(toolkit_.RunEventLoop(), 0);
  EXPECT_FALSE(timedOut);
  // A closed window runs no loop at all.
  EXPECT_EQ(toolkit_.RunEventLoop(), 0);
}

TEST_F(QtToolkitTest, DoubleClickAnywhereInTheListRunsTheHandler) {
  Create();
  FillRows(3);
  driver_.DoubleClickRow(kList, 1);
  // On the empty area below the rows: no row stays selected.
  driver_.DoubleClickRow(kList, -1);
  EXPECT_EQ(events_,
            (std::vector<std::string>{"created", "double 1", "double -1"}));
  driver_.ClickRow(kList, 2);
  EXPECT_EQ(toolkit_.SelectedRow(kList), 2);
  driver_.ClickRow(kList, -1);
  EXPECT_EQ(toolkit_.SelectedRow(kList), -1);
}

TEST_F(QtToolkitTest, EnterAndEscapeDoNothing) {
  Create();
  driver_.Type(kEdit, "abc");
  driver_.PressKey(kEdit, Key::kEnter);
  driver_.PressKey(kEdit, Key::kEscape);
  driver_.PressKey(kWindow, Key::kEscape);
  driver_.PressKey(kWindow, Key::kEnter);
  driver_.RunFor(10);
  EXPECT_TRUE(driver_.WindowVisible());
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "click"), 0);
  EXPECT_EQ(toolkit_.ControlText(kEdit), "abc");
  // Typing Chinese arrives as the input method commits it.
  driver_.Type(kEdit, kZhongWen);
  EXPECT_EQ(toolkit_.ControlText(kEdit), kZhongWen);
}

TEST_F(QtToolkitTest, DraggingTheBackgroundMovesTheWindow) {
  Create();
  int x = driver_.WindowX();
  int y = driver_.WindowY();
  // A point between the button and the list: background.
  driver_.DragBackground(400, 30, 25, 15);
  EXPECT_EQ(driver_.WindowX(), x + 25);
  EXPECT_EQ(driver_.WindowY(), y + 15);
}

TEST_F(QtToolkitTest, ControlsExposeTheirTextsToAssistiveTechnology) {
  Create();
  int row = toolkit_.AppendRow(kList);
  toolkit_.SetCellText(kList, row, 0, kZhongWen);
  toolkit_.SetCellText(kList, row, 2, "magnet:?xt=1");

  QAccessibleInterface* button =
      QAccessible::queryAccessibleInterface(Widget<QWidget>(kButton));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->role(), QAccessible::Button);
  EXPECT_EQ(button->text(QAccessible::Name), QString::fromUtf8("搜索"));

  QtToolkit::Impl::Control& bar = toolkit_.impl().controls.at(kBar);
  QAccessibleInterface* part =
      QAccessible::queryAccessibleInterface(bar.parts[0]);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->text(QAccessible::Name), QString::fromUtf8("数量：0"));

  QAccessibleInterface* list =
      QAccessible::queryAccessibleInterface(Widget<QWidget>(kList));
  ASSERT_NE(list, nullptr);
  QAccessibleTableInterface* table = list->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->columnCount(), 3);
  QAccessibleInterface* name = table->cellAt(0, 0);
  QAccessibleInterface* link = table->cellAt(0, 2);
  ASSERT_NE(name, nullptr);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(name->text(QAccessible::Name), QString::fromUtf8("中文"));
  EXPECT_EQ(link->text(QAccessible::Name), QString("magnet:?xt=1"));
  QAccessibleTableCellInterface* cell = link->tableCellInterface();
  ASSERT_NE(cell, nullptr);
  QAccessibleInterface* title = cell->columnHeaderCells().value(0);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(QAccessible::Name), QString::fromUtf8("中文"));
}

}  // namespace
}  // namespace velk::platform
