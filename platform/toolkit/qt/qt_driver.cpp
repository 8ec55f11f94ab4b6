#include "platform/toolkit/qt/qt_driver.h"

#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTest>
#include <algorithm>

#include "platform/toolkit/qt/qt_internal.h"

namespace velk::platform {
namespace {

QtToolkit::Impl::Control* Find(QtToolkit& toolkit, ControlId id) {
  auto& controls = toolkit.impl().controls;
  auto it = controls.find(id);
  return it == controls.end() ? nullptr : &it->second;
}

QWidget* WidgetOf(QtToolkit& toolkit, ControlId id) {
  if (id == toolkit.impl().windowId) return toolkit.impl().window.get();
  QtToolkit::Impl::Control* c = Find(toolkit, id);
  return c == nullptr ? nullptr : c->widget;
}

ListWidget* ListOf(QtToolkit& toolkit, ControlId id) {
  QtToolkit::Impl::Control* c = Find(toolkit, id);
  if (c == nullptr || c->entry.kind != ControlKind::kList) return nullptr;
  return static_cast<ListWidget*>(c->widget);
}

// The point of the list's viewport that a user would click for `row`: the
// middle of its first cell, or below the last row for -1.
QPoint RowPoint(ListWidget* list, int row) {
  if (row >= 0) {
    return list->visualRect(list->model()->index(row, 0)).center();
  }
  return QPoint(10, list->viewport()->height() - 4);
}

Rect ToRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

void QtDriver::Click(ControlId button) {
  if (QWidget* w = WidgetOf(toolkit_, button)) {
    QTest::mouseClick(w, Qt::LeftButton);
  }
}

void QtDriver::ClickRow(ControlId list, int row) {
  if (ListWidget* l = ListOf(toolkit_, list)) {
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, RowPoint(l, row));
  }
}

void QtDriver::DoubleClickRow(ControlId list, int row) {
  if (ListWidget* l = ListOf(toolkit_, list)) {
    QPoint at = RowPoint(l, row);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
  }
}

void QtDriver::Type(ControlId edit, std::string_view text) {
  QtToolkit::Impl::Control* c = Find(toolkit_, edit);
  if (c == nullptr || c->entry.kind != ControlKind::kEdit) return;
  auto* box = static_cast<QLineEdit*>(c->widget);
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Delete);
  bool ascii = std::all_of(text.begin(), text.end(), [](char ch) {
    return static_cast<unsigned char>(ch) < 0x80;
  });
  if (ascii) {
    QTest::keyClicks(
        box,
        QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    return;
  }
  // Keys cannot produce Chinese; an input method commits it instead.
  QInputMethodEvent commit;
  commit.setCommitString(FromGbk(text));
  QCoreApplication::sendEvent(box, &commit);
}

void QtDriver::PressKey(ControlId control, Key key) {
  if (QWidget* w = WidgetOf(toolkit_, control)) {
    QTest::keyClick(w, key == Key::kEnter ? Qt::Key_Return : Qt::Key_Escape);
  }
}

void QtDriver::DragBackground(int x, int y, int dx, int dy) {
  QWidget* window = toolkit_.impl().window.get();
  if (window == nullptr) return;
  QPoint from(x, y);
  QPoint to(x + dx, y + dy);
  QTest::mousePress(window, Qt::LeftButton, {}, from);
  // QTest's move sends no button state; a real drag carries the button.
  QPoint global = window->mapToGlobal(to);
  QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(global),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &move);
  QPoint after = window->mapFromGlobal(global);
  QTest::mouseRelease(window, Qt::LeftButton, {}, after);
}

void QtDriver::Close() {
  if (QWidget* window = toolkit_.impl().window.get()) window->close();
}

void QtDriver::CloseLater(int milliseconds) {
  QtToolkit* toolkit = &toolkit_;
  QTimer::singleShot(milliseconds, [toolkit] {
    if (QWidget* window = toolkit->impl().window.get()) window->close();
  });
}

void QtDriver::PostClick(ControlId button) {
  QWidget* w = WidgetOf(toolkit_, button);
  if (w == nullptr) return;
  QPointF at(w->width() / 2.0, w->height() / 2.0);
  QPointF global = QPointF(w->mapToGlobal(at.toPoint()));
  QCoreApplication::postEvent(
      w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                         Qt::NoButton, Qt::NoModifier));
}

void QtDriver::RunFor(int milliseconds) { QTest::qWait(milliseconds); }

bool QtDriver::WindowVisible() {
  QWidget* window = toolkit_.impl().window.get();
  return window != nullptr && window->isVisible();
}

std::string QtDriver::Caption() {
  QWidget* window = toolkit_.impl().window.get();
  return window == nullptr ? std::string() : ToGbk(window->windowTitle());
}

std::string QtDriver::PartText(ControlId bar, int part) {
  QtToolkit::Impl::Control* c = Find(toolkit_, bar);
  if (c == nullptr || part < 0 || part >= static_cast<int>(c->parts.size())) {
    return {};
  }
  return ToGbk(c->parts[static_cast<size_t>(part)]->text());
}

Rect QtDriver::PartRect(ControlId bar, int part) {
  QtToolkit::Impl::Control* c = Find(toolkit_, bar);
  if (c == nullptr || part < 0 || part >= static_cast<int>(c->parts.size())) {
    return {};
  }
  return ToRect(c->parts[static_cast<size_t>(part)]->geometry());
}

std::string QtDriver::ColumnTitle(ControlId list, int column) {
  ListWidget* l = ListOf(toolkit_, list);
  if (l == nullptr) return {};
  return ToGbk(l->model()
                   ->headerData(column, Qt::Horizontal, Qt::DisplayRole)
                   .toString());
}

int QtDriver::ColumnWidth(ControlId list, int column) {
  ListWidget* l = ListOf(toolkit_, list);
  return l == nullptr ? 0 : l->columnWidth(column);
}

int QtDriver::ShownProgress(ControlId bar) {
  QtToolkit::Impl::Control* c = Find(toolkit_, bar);
  if (c == nullptr || c->entry.kind != ControlKind::kProgressBar) return 0;
  return static_cast<QProgressBar*>(c->widget)->value();
}

bool QtDriver::TimerRunning(ControlId timer) {
  QtToolkit::Impl::Control* c = Find(toolkit_, timer);
  return c != nullptr && c->timer != nullptr && c->timer->isActive();
}

bool QtDriver::ControlVisible(ControlId control) {
  QWidget* w = WidgetOf(toolkit_, control);
  return w != nullptr && w->isVisible();
}

Rect QtDriver::ControlRect(ControlId control) {
  QWidget* w = WidgetOf(toolkit_, control);
  return w == nullptr ? Rect{} : ToRect(w->geometry());
}

int QtDriver::ClientWidth() {
  QWidget* window = toolkit_.impl().window.get();
  return window == nullptr ? 0 : window->width();
}

int QtDriver::ClientHeight() {
  QWidget* window = toolkit_.impl().window.get();
  return window == nullptr ? 0 : window->height();
}

bool QtDriver::Resizable() {
  QWidget* window = toolkit_.impl().window.get();
  return window != nullptr && window->minimumSize() != window->maximumSize();
}

int QtDriver::WindowX() {
  QWidget* window = toolkit_.impl().window.get();
  return window == nullptr ? 0 : window->pos().x();
}

int QtDriver::WindowY() {
  QWidget* window = toolkit_.impl().window.get();
  return window == nullptr ? 0 : window->pos().y();
}

bool QtDriver::SaveScreenshot(const std::string& path) {
  QWidget* window = toolkit_.impl().window.get();
  return window != nullptr &&
         window->grab().save(QString::fromStdString(path), "PNG");
}

}  // namespace velk::platform
