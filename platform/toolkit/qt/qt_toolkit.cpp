#include "platform/toolkit/qt/qt_toolkit.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <set>

#include "platform/codepage/codepage.h"
#include "platform/toolkit/qt/qt_internal.h"

namespace velk::platform {
namespace {

constexpr int kMaxStoredPosition = 32767;
// PumpEvents goes round until a round finds nothing to do; the bound keeps
// an event source that never rests from holding the pump for ever.
constexpr int kMaxPumpRounds = 64;
constexpr const char* kFontFamily = "WenQuanYi Micro Hei";

// The widget library wants a program name; the program takes no arguments.
int gArgc = 1;
char gProgramName[] = "velk-seed-finder";
char* gArgv[] = {gProgramName, nullptr};

void UseCjkFont() {
  // Without a CJK font every Chinese character is drawn as a box. Naming
  // the family, rather than listing every family first, keeps start-up
  // quick; without it the font matcher picks the nearest font.
  QFont font = QApplication::font();
  font.setFamilies({kFontFamily});
  font.setPixelSize(12);
  QApplication::setFont(font);
}

}  // namespace

// Each 936 character (one byte or two) gives one UTF-16 unit, and each unit
// at most two bytes, so one call into a buffer of that size converts a text
// whole; the sizing call is made only should that ever fall short. Pages
// of a megabyte cross here, so the second pass matters.
QString FromGbk(std::string_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  QString wide(length, QChar());
  int written =
      MultiByteToWide(kCodePageAnsi, 0, text.data(), length,
                      reinterpret_cast<char16_t*>(wide.data()), length);
  if (written <= 0) {
    int units =
        MultiByteToWide(kCodePageAnsi, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return {};
    wide.resize(units);
    written = MultiByteToWide(kCodePageAnsi, 0, text.data(), length,
                              reinterpret_cast<char16_t*>(wide.data()), units);
  }
  wide.truncate(std::max(written, 0));
  return wide;
}

std::string ToGbk(const QString& text) {
  if (text.isEmpty()) return {};
  const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
  int length = static_cast<int>(text.size());
  std::string out(static_cast<size_t>(length) * 2, '\0');
  int written =
      WideToMultiByte(kCodePageAnsi, 0, units, length, out.data(), length * 2);
  if (written <= 0) {
    int bytes = WideToMultiByte(kCodePageAnsi, 0, units, length, nullptr, 0);
    if (bytes <= 0) return {};
    out.resize(static_cast<size_t>(bytes));
    written =
        WideToMultiByte(kCodePageAnsi, 0, units, length, out.data(), bytes);
  }
  out.resize(static_cast<size_t>(std::max(written, 0)));
  return out;
}

// --- WindowWidget ---

WindowWidget::WindowWidget()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  // The standard dialog colour of the style, behind every control.
  setBackgroundRole(QPalette::Window);
  setAutoFillBackground(true);
}

void WindowWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  // The desktop moves the window itself where it can; otherwise (no window
  // manager, the offscreen platform) the window follows the mouse.
  if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  grabOffset_ = event->globalPosition().toPoint() - pos();
}

void WindowWidget::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - grabOffset_);
  }
}

void WindowWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
}

void WindowWidget::closeEvent(QCloseEvent* event) {
  closed_ = true;
  event->accept();
  // A tool window's closing does not end the loop by itself. Inside a pump
  // the request stays pending until the loop runs again.
  QCoreApplication::quit();
}

// --- ListModel ---

ListModel::ListModel(std::vector<QString> titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(std::move(titles)) {}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return FromGbk(Get(index.row(), index.column()));
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation,
                               int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(titles_.size())) {
    return {};
  }
  if (role == Qt::DisplayRole) return titles_[static_cast<size_t>(section)];
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                         : Qt::NoItemFlags;
}

void ListModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int ListModel::Append() {
  int row = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), row, row);
  rows_.emplace_back(titles_.size());
  endInsertRows();
  return row;
}

void ListModel::Set(int row, int column, std::string_view text) {
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
  QModelIndex cell = index(row, column);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
}

const std::string& ListModel::Get(int row, int column) const {
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

// --- ListWidget ---

ListWidget::ListWidget(std::vector<QString> titles, QWidget* parent)
    : QTableView(parent), rows_(new ListModel(std::move(titles), this)) {
  setModel(rows_);
}

void ListWidget::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  if (!indexAt(event->position().toPoint()).isValid()) clearSelection();
}

void ListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (!indexAt(event->position().toPoint()).isValid()) clearSelection();
  Handler handler = onDoubleClick;  // the handler may pump and reenter
  if (handler) handler();
}

// --- TextBoxWidget ---

TextBoxWidget::TextBoxWidget(QWidget* parent) : QPlainTextEdit(parent) {}

void TextBoxWidget::SetText(std::string_view text) {
  if (isVisible()) {
    setPlainText(FromGbk(text));
    pending_.clear();
    stale_ = false;
    return;
  }
  pending_ = text;
  stale_ = true;
}

std::string TextBoxWidget::Text() const {
  return stale_ ? pending_ : ToGbk(toPlainText());
}

void TextBoxWidget::showEvent(QShowEvent* event) {
  if (stale_) {
    setPlainText(FromGbk(pending_));
    pending_.clear();
    stale_ = false;
  }
  QPlainTextEdit::showEvent(event);
}

// --- QtToolkit ---

QtToolkit::Impl::Control* QtToolkit::Impl::Find(ControlId id,
                                                ControlKind kind) {
  auto it = controls.find(id);
  if (it == controls.end() || it->second.entry.kind != kind) return nullptr;
  return &it->second;
}

QtToolkit::QtToolkit() : impl_(std::make_unique<Impl>()) {
  if (QCoreApplication::instance() == nullptr) {
    impl_->application = std::make_unique<QApplication>(gArgc, gArgv);
  }
  UseCjkFont();
}

QtToolkit::~QtToolkit() {
  impl_->controls.clear();
  impl_->window.reset();
  impl_->application.reset();
}

namespace {

QWidget* MakeControl(const ControlEntry& entry, QWidget* parent,
                     QtToolkit::Impl::Control& control) {
  QWidget* widget = nullptr;
  switch (entry.kind) {
    case ControlKind::kLabel: {
      auto* label = new QLabel(FromGbk(entry.text), parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setContentsMargins(0, 6, 0, 0);
      widget = label;
      break;
    }
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(FromGbk(entry.text), parent);
      widget = edit;
      break;
    }
    case ControlKind::kButton: {
      auto* button = new QPushButton(FromGbk(entry.text), parent);
      button->setAutoDefault(false);
      button->setDefault(false);
      if (entry.onClick) {
        Handler handler = entry.onClick;
        QObject::connect(button, &QPushButton::clicked,
                         [handler] { handler(); });
      }
      widget = button;
      break;
    }
    case ControlKind::kList: {
      int columns = static_cast<int>(entry.columns.size());
      std::vector<QString> titles;
      for (const ListColumn& column : entry.columns) {
        titles.push_back(FromGbk(column.title));
      }
      auto* list = new ListWidget(std::move(titles), parent);
      for (int i = 0; i < columns; ++i) {
        list->setColumnWidth(i, entry.columns[static_cast<size_t>(i)].width);
      }
      QHeaderView* header = list->horizontalHeader();
      header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      header->setSectionsClickable(false);
      header->setHighlightSections(false);
      header->setSortIndicatorShown(false);
      header->setStretchLastSection(false);
      list->verticalHeader()->hide();
      list->verticalHeader()->setDefaultSectionSize(18);
      list->setSortingEnabled(false);
      list->setShowGrid(true);
      list->setSelectionBehavior(QAbstractItemView::SelectRows);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      // Long magnet links stay on one line instead of making tall rows.
      list->setWordWrap(false);
      list->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      QPalette palette = list->palette();
      palette.setColor(QPalette::Base, Qt::white);
      palette.setColor(QPalette::Text, Qt::black);
      list->setPalette(palette);
      list->onDoubleClick = entry.onDoubleClick;
      widget = list;
      break;
    }
    case ControlKind::kStatusBar: {
      auto* bar = new QWidget(parent);
      int left = 0;
      for (const StatusPart& part : entry.parts) {
        auto* label = new QLabel(FromGbk(part.text), bar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(left, 0, part.width, entry.rect.height);
        left += part.width;
        control.parts.push_back(label);
      }
      widget = bar;
      break;
    }
    case ControlKind::kProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setOrientation(Qt::Horizontal);
      bar->setRange(entry.rangeMin, entry.rangeMax);
      bar->setValue(entry.rangeMin);
      bar->setTextVisible(false);
      // Smooth fill, no border, as thin as its box.
      bar->setStyleSheet(
          "QProgressBar { border: none; background: transparent; }"
          "QProgressBar::chunk { background-color: #06b025; }");
      control.stored = std::clamp(entry.rangeMin, 0, kMaxStoredPosition);
      widget = bar;
      break;
    }
    case ControlKind::kTimer: {
      auto* timer = new QTimer(parent);
      timer->setTimerType(Qt::CoarseTimer);
      if (entry.onElapsed) {
        Handler handler = entry.onElapsed;
        QObject::connect(timer, &QTimer::timeout, [handler] { handler(); });
      }
      control.timer = timer;
      return nullptr;
    }
    case ControlKind::kTextBox: {
      auto* box = new TextBoxWidget(parent);
      box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      box->setMaximumBlockCount(0);  // no limit of its own
      box->SetText(entry.text);
      widget = box;
      break;
    }
  }
  widget->setObjectName(QString::fromStdString(entry.name));
  widget->setGeometry(entry.rect.left, entry.rect.top, entry.rect.width,
                      entry.rect.height);
  if (entry.hidden) widget->hide();
  return widget;
}

}  // namespace

bool QtToolkit::CreateMainWindow(const WindowTable& table) {
  if (impl_->window != nullptr) return false;
  std::set<ControlId> ids = {table.id};
  for (const ControlEntry& c : table.controls) {
    if (!ids.insert(c.id).second) return false;
  }

  auto window = std::make_unique<WindowWidget>();
  window->setWindowTitle(FromGbk(table.caption));
  window->setWindowIcon(AppIcon());
  window->setFixedSize(table.clientWidth, table.clientHeight);
  impl_->windowId = table.id;
  // Later controls lie above earlier ones, in the order of the table.
  QWidget* firstEdit = nullptr;
  for (const ControlEntry& c : table.controls) {
    Impl::Control control;
    control.entry = c;
    control.widget = MakeControl(c, window.get(), control);
    if (c.kind == ControlKind::kEdit && firstEdit == nullptr) {
      firstEdit = control.widget;
    }
    impl_->controls.emplace(c.id, std::move(control));
  }
  impl_->window = std::move(window);
  if (table.onCreated) table.onCreated();

  // Centred by the size the window takes with its frame.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    impl_->window->move(area.x() + (area.width() - table.outerWidth) / 2,
                        area.y() + (area.height() - table.outerHeight) / 2);
  }
  impl_->window->show();
  if (firstEdit != nullptr) firstEdit->setFocus();
  return true;
}

int QtToolkit::RunEventLoop() {
  if (impl_->window == nullptr || impl_->window->closed()) return 0;
  QApplication::exec();
  return 0;
}

void QtToolkit::SetCaption(ControlId window, std::string_view text) {
  if (impl_->window != nullptr && window == impl_->windowId) {
    impl_->window->setWindowTitle(FromGbk(text));
  }
}

void QtToolkit::SetPartText(ControlId bar, int part, std::string_view text) {
  Impl::Control* c = impl_->Find(bar, ControlKind::kStatusBar);
  if (c == nullptr || part < 0 || part >= static_cast<int>(c->parts.size())) {
    return;
  }
  c->parts[static_cast<size_t>(part)]->setText(FromGbk(text));
}

std::string QtToolkit::ControlText(ControlId control) {
  if (Impl::Control* c = impl_->Find(control, ControlKind::kEdit)) {
    return ToGbk(static_cast<QLineEdit*>(c->widget)->text());
  }
  if (Impl::Control* c = impl_->Find(control, ControlKind::kTextBox)) {
    return static_cast<TextBoxWidget*>(c->widget)->Text();
  }
  return {};
}

void QtToolkit::SetControlText(ControlId control, std::string_view text) {
  if (Impl::Control* c = impl_->Find(control, ControlKind::kEdit)) {
    static_cast<QLineEdit*>(c->widget)->setText(FromGbk(text));
  }
  if (Impl::Control* c = impl_->Find(control, ControlKind::kTextBox)) {
    static_cast<TextBoxWidget*>(c->widget)->SetText(text);
  }
}

void QtToolkit::ClearRows(ControlId list) {
  if (Impl::Control* c = impl_->Find(list, ControlKind::kList)) {
    static_cast<ListWidget*>(c->widget)->rows()->Clear();
  }
}

int QtToolkit::RowCount(ControlId list) {
  Impl::Control* c = impl_->Find(list, ControlKind::kList);
  return c == nullptr ? 0
                      : static_cast<ListWidget*>(c->widget)->rows()->rowCount();
}

int QtToolkit::AppendRow(ControlId list) {
  Impl::Control* c = impl_->Find(list, ControlKind::kList);
  if (c == nullptr) return -1;
  return static_cast<ListWidget*>(c->widget)->rows()->Append();
}

void QtToolkit::SetCellText(ControlId list, int row, int column,
                            std::string_view text) {
  Impl::Control* c = impl_->Find(list, ControlKind::kList);
  if (c == nullptr) return;
  ListModel* rows = static_cast<ListWidget*>(c->widget)->rows();
  if (row < 0 || row >= rows->rowCount() || column < 0 ||
      column >= rows->columnCount()) {
    return;
  }
  rows->Set(row, column, text);
}

std::string QtToolkit::CellText(ControlId list, int row, int column) {
  Impl::Control* c = impl_->Find(list, ControlKind::kList);
  if (c == nullptr) return {};
  ListModel* rows = static_cast<ListWidget*>(c->widget)->rows();
  if (row < 0 || row >= rows->rowCount() || column < 0 ||
      column >= rows->columnCount()) {
    return {};
  }
  // What the cell shows, in 936: the text through the display conversion.
  return ToGbk(FromGbk(rows->Get(row, column)));
}

int QtToolkit::SelectedRow(ControlId list) {
  Impl::Control* c = impl_->Find(list, ControlKind::kList);
  if (c == nullptr) return -1;
  QModelIndexList rows =
      static_cast<ListWidget*>(c->widget)->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void QtToolkit::SetProgressPosition(ControlId bar, int position) {
  Impl::Control* c = impl_->Find(bar, ControlKind::kProgressBar);
  if (c == nullptr) return;
  c->stored = std::clamp(position, 0, kMaxStoredPosition);
  auto* widget = static_cast<QProgressBar*>(c->widget);
  widget->setValue(std::clamp(c->stored, widget->minimum(), widget->maximum()));
}

int QtToolkit::ProgressPosition(ControlId bar) {
  Impl::Control* c = impl_->Find(bar, ControlKind::kProgressBar);
  return c == nullptr ? 0 : c->stored;
}

void QtToolkit::SetTimerPeriod(ControlId timer, int milliseconds) {
  Impl::Control* c = impl_->Find(timer, ControlKind::kTimer);
  if (c == nullptr) return;
  if (milliseconds > 0) {
    c->timer->start(milliseconds);
  } else {
    c->timer->stop();
  }
}

void QtToolkit::PumpEvents() {
  QAbstractEventDispatcher* dispatcher =
      QThread::currentThread()->eventDispatcher();
  if (dispatcher == nullptr) return;
  // One round handles what is pending when it starts; events that handling
  // posts (a repaint, say) are pending too, so go round until a round finds
  // nothing. A quit requested meanwhile is only recorded by the loop.
  for (int round = 0; round < kMaxPumpRounds; ++round) {
    if (!dispatcher->processEvents(QEventLoop::AllEvents)) break;
  }
}

}  // namespace velk::platform
