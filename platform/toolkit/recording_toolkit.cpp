#include "platform/toolkit/recording_toolkit.h"

#include <algorithm>
#include <set>

namespace velk::platform {
namespace {

constexpr int kMaxStoredPosition = 32767;

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

}  // namespace

RecordingToolkit::Control* RecordingToolkit::Find(ControlId id,
                                                  ControlKind kind) {
  auto it = controls_.find(id);
  if (it == controls_.end() || it->second.entry.kind != kind) return nullptr;
  return &it->second;
}

const RecordingToolkit::Control* RecordingToolkit::Find(
    ControlId id, ControlKind kind) const {
  auto it = controls_.find(id);
  if (it == controls_.end() || it->second.entry.kind != kind) return nullptr;
  return &it->second;
}

std::string RecordingToolkit::NameOf(ControlId id) const {
  if (created_ && id == windowId_) return "window";
  auto it = controls_.find(id);
  if (it == controls_.end()) return "#" + std::to_string(id);
  return it->second.entry.name;
}

bool RecordingToolkit::CreateMainWindow(const WindowTable& table) {
  if (created_) return false;
  std::set<ControlId> ids = {table.id};
  for (const ControlEntry& c : table.controls) {
    if (!ids.insert(c.id).second) return false;
  }
  Record("CreateMainWindow(" + Quoted(table.caption) + ")");
  created_ = true;
  windowId_ = table.id;
  caption_ = table.caption;
  for (const ControlEntry& c : table.controls) {
    Control control;
    control.entry = c;
    control.text = c.text;
    for (const StatusPart& part : c.parts) control.parts.push_back(part.text);
    control.position = std::clamp(c.rangeMin, 0, kMaxStoredPosition);
    controls_.emplace(c.id, std::move(control));
  }
  if (table.onCreated) table.onCreated();
  return true;
}

int RecordingToolkit::RunEventLoop() {
  Record("RunEventLoop()");
  // Without a user the loop ends when the queue runs dry; a real loop would
  // wait for the next event instead.
  while (!queue_.empty() && !quitPending_ && !closed_) {
    Event event = queue_.front();
    queue_.pop_front();
    Dispatch(event);
  }
  quitPending_ = false;
  return 0;
}

void RecordingToolkit::SetCaption(ControlId window, std::string_view text) {
  Record("SetCaption(" + NameOf(window) + ", " + Quoted(text) + ")");
  if (created_ && window == windowId_) caption_ = std::string(text);
}

void RecordingToolkit::SetPartText(ControlId bar, int part,
                                   std::string_view text) {
  Record("SetPartText(" + NameOf(bar) + ", " + std::to_string(part) + ", " +
         Quoted(text) + ")");
  Control* c = Find(bar, ControlKind::kStatusBar);
  if (c == nullptr || part < 0 || part >= static_cast<int>(c->parts.size())) {
    return;
  }
  c->parts[static_cast<size_t>(part)] = std::string(text);
}

std::string RecordingToolkit::ControlText(ControlId control) {
  std::string text;
  if (Control* c = Find(control, ControlKind::kEdit)) text = c->text;
  if (Control* c = Find(control, ControlKind::kTextBox)) text = c->text;
  Record("ControlText(" + NameOf(control) + ") -> " + Quoted(text));
  return text;
}

void RecordingToolkit::SetControlText(ControlId control,
                                      std::string_view text) {
  Record("SetControlText(" + NameOf(control) + ", " + Quoted(text) + ")");
  if (Control* c = Find(control, ControlKind::kEdit)) c->text = text;
  if (Control* c = Find(control, ControlKind::kTextBox)) c->text = text;
}

void RecordingToolkit::ClearRows(ControlId list) {
  Record("ClearRows(" + NameOf(list) + ")");
  if (Control* c = Find(list, ControlKind::kList)) {
    c->rows.clear();
    c->selectedRow = -1;
  }
}

int RecordingToolkit::RowCount(ControlId list) {
  int count = RowCountOf(list);
  Record("RowCount(" + NameOf(list) + ") -> " + std::to_string(count));
  return count;
}

int RecordingToolkit::AppendRow(ControlId list) {
  int row = -1;
  if (Control* c = Find(list, ControlKind::kList)) {
    c->rows.emplace_back(c->entry.columns.size());
    row = static_cast<int>(c->rows.size()) - 1;
  }
  Record("AppendRow(" + NameOf(list) + ") -> " + std::to_string(row));
  return row;
}

void RecordingToolkit::SetCellText(ControlId list, int row, int column,
                                   std::string_view text) {
  Record("SetCellText(" + NameOf(list) + ", " + std::to_string(row) + ", " +
         std::to_string(column) + ", " + Quoted(text) + ")");
  Control* c = Find(list, ControlKind::kList);
  if (c == nullptr || row < 0 || row >= static_cast<int>(c->rows.size()) ||
      column < 0 || column >= static_cast<int>(c->entry.columns.size())) {
    return;
  }
  c->rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
}

std::string RecordingToolkit::CellText(ControlId list, int row, int column) {
  std::string text = CellTextOf(list, row, column);
  Record("CellText(" + NameOf(list) + ", " + std::to_string(row) + ", " +
         std::to_string(column) + ") -> " + Quoted(text));
  return text;
}

int RecordingToolkit::SelectedRow(ControlId list) {
  int row = -1;
  if (Control* c = Find(list, ControlKind::kList)) row = c->selectedRow;
  Record("SelectedRow(" + NameOf(list) + ") -> " + std::to_string(row));
  return row;
}

void RecordingToolkit::SetProgressPosition(ControlId bar, int position) {
  Record("SetProgressPosition(" + NameOf(bar) + ", " +
         std::to_string(position) + ")");
  if (Control* c = Find(bar, ControlKind::kProgressBar)) {
    c->position = std::clamp(position, 0, kMaxStoredPosition);
  }
}

int RecordingToolkit::ProgressPosition(ControlId bar) {
  int position = ProgressOf(bar);
  Record("ProgressPosition(" + NameOf(bar) + ") -> " +
         std::to_string(position));
  return position;
}

void RecordingToolkit::SetTimerPeriod(ControlId timer, int milliseconds) {
  Record("SetTimerPeriod(" + NameOf(timer) + ", " +
         std::to_string(milliseconds) + ")");
  if (Control* c = Find(timer, ControlKind::kTimer)) {
    c->period = std::max(milliseconds, 0);
    if (c->period == 0) {
      // A stopped timer sends nothing more, not even an elapse that was
      // already waiting.
      std::erase_if(queue_, [timer](const Event& e) {
        return e.kind == Event::kElapse && e.control == timer;
      });
    }
  }
}

void RecordingToolkit::PumpEvents() {
  Record("PumpEvents()");
  // Events queued by the handlers that run here are pending too; a close
  // leaves the quit pending for the loop and ends the pump's work.
  while (!queue_.empty() && !closed_) {
    Event event = queue_.front();
    queue_.pop_front();
    Dispatch(event);
  }
  Record("PumpEvents() done");
}

void RecordingToolkit::Dispatch(const Event& event) {
  switch (event.kind) {
    case Event::kClick:
      Click(event.control);
      break;
    case Event::kDoubleClick:
      DoubleClick(event.control);
      break;
    case Event::kElapse:
      if (Control* c = Find(event.control, ControlKind::kTimer)) {
        if (c->period > 0 && c->entry.onElapsed) {
          Handler handler = c->entry.onElapsed;
          handler();
        }
      }
      break;
    case Event::kClose:
      closed_ = true;
      quitPending_ = true;
      break;
  }
}

void RecordingToolkit::QueueClick(ControlId button) {
  queue_.push_back({Event::kClick, button});
}

void RecordingToolkit::QueueDoubleClick(ControlId list) {
  queue_.push_back({Event::kDoubleClick, list});
}

void RecordingToolkit::QueueElapse(ControlId timer) {
  queue_.push_back({Event::kElapse, timer});
}

void RecordingToolkit::QueueClose() { queue_.push_back({Event::kClose, 0}); }

void RecordingToolkit::Click(ControlId button) {
  if (Control* c = Find(button, ControlKind::kButton)) {
    // A copy: the handler may run nested searches that touch the map.
    Handler handler = c->entry.onClick;
    if (handler) handler();
  }
}

void RecordingToolkit::SelectRow(ControlId list, int row) {
  if (Control* c = Find(list, ControlKind::kList)) {
    c->selectedRow =
        (row >= 0 && row < static_cast<int>(c->rows.size())) ? row : -1;
  }
}

void RecordingToolkit::DoubleClick(ControlId list) {
  if (Control* c = Find(list, ControlKind::kList)) {
    Handler handler = c->entry.onDoubleClick;
    if (handler) handler();
  }
}

void RecordingToolkit::Type(ControlId edit, std::string_view text) {
  if (Control* c = Find(edit, ControlKind::kEdit)) c->text = text;
}

std::string RecordingToolkit::PartTextOf(ControlId bar, int part) const {
  const Control* c = Find(bar, ControlKind::kStatusBar);
  if (c == nullptr || part < 0 || part >= static_cast<int>(c->parts.size())) {
    return {};
  }
  return c->parts[static_cast<size_t>(part)];
}

std::string RecordingToolkit::CellTextOf(ControlId list, int row,
                                         int column) const {
  const Control* c = Find(list, ControlKind::kList);
  if (c == nullptr || row < 0 || row >= static_cast<int>(c->rows.size()) ||
      column < 0 || column >= static_cast<int>(c->entry.columns.size())) {
    return {};
  }
  return c->rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

int RecordingToolkit::RowCountOf(ControlId list) const {
  const Control* c = Find(list, ControlKind::kList);
  return c == nullptr ? 0 : static_cast<int>(c->rows.size());
}

int RecordingToolkit::ProgressOf(ControlId bar) const {
  const Control* c = Find(bar, ControlKind::kProgressBar);
  return c == nullptr ? 0 : c->position;
}

int RecordingToolkit::TimerPeriodOf(ControlId timer) const {
  const Control* c = Find(timer, ControlKind::kTimer);
  return c == nullptr ? 0 : c->period;
}

}  // namespace velk::platform
