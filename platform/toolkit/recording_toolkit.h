// A toolkit without widgets: it keeps every control's state in memory and
// records every call it receives, in order, so that tests can check which
// window operations a handler makes and in which order. Events the user
// would cause are queued by the test and handled by PumpEvents or the event
// loop, exactly as the real toolkit would handle them.
#ifndef VELK_PLATFORM_TOOLKIT_RECORDING_TOOLKIT_H_
#define VELK_PLATFORM_TOOLKIT_RECORDING_TOOLKIT_H_

#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit/toolkit.h"

namespace velk::platform {

class RecordingToolkit final : public Toolkit {
 public:
  RecordingToolkit() = default;
  RecordingToolkit(const RecordingToolkit&) = delete;
  RecordingToolkit& operator=(const RecordingToolkit&) = delete;

  bool CreateMainWindow(const WindowTable& table) override;
  int RunEventLoop() override;
  void SetCaption(ControlId window, std::string_view text) override;
  void SetPartText(ControlId bar, int part, std::string_view text) override;
  std::string ControlText(ControlId control) override;
  void SetControlText(ControlId control, std::string_view text) override;
  void ClearRows(ControlId list) override;
  int RowCount(ControlId list) override;
  int AppendRow(ControlId list) override;
  void SetCellText(ControlId list, int row, int column,
                   std::string_view text) override;
  std::string CellText(ControlId list, int row, int column) override;
  int SelectedRow(ControlId list) override;
  void SetProgressPosition(ControlId bar, int position) override;
  int ProgressPosition(ControlId bar) override;
  void SetTimerPeriod(ControlId timer, int milliseconds) override;
  void PumpEvents() override;

  // --- The record ---

  // Every call so far, one entry each, in order. An entry reads like the
  // call: "SetPartText(statusBar, 1, <text>)"; calls that give a value end
  // in " -> <value>". Controls appear by their names in the table.
  const std::vector<std::string>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Adds an entry of the test's own (a fake search step, say), so that it
  // shows in order among the window operations.
  void Note(std::string entry) { calls_.push_back(std::move(entry)); }

  // --- What the user would do ---

  // Queues an event for the next pump or the event loop.
  void QueueClick(ControlId button);
  void QueueDoubleClick(ControlId list);
  // The timer's period elapses; handled only while the timer runs.
  void QueueElapse(ControlId timer);
  // The close box is pressed.
  void QueueClose();
  // Clicks the button now, as the event loop would deliver it.
  void Click(ControlId button);
  // Selects `row` (-1: none), as a click on a row or the empty area does.
  void SelectRow(ControlId list, int row);
  void DoubleClick(ControlId list);
  // The user types into the edit box (replacing its text); not recorded.
  void Type(ControlId edit, std::string_view text);

  // --- State, read without being recorded ---

  std::string caption() const { return caption_; }
  std::string PartTextOf(ControlId bar, int part) const;
  std::string CellTextOf(ControlId list, int row, int column) const;
  int RowCountOf(ControlId list) const;
  int ProgressOf(ControlId bar) const;
  int TimerPeriodOf(ControlId timer) const;
  int PendingEvents() const { return static_cast<int>(queue_.size()); }
  bool windowOpen() const { return created_ && !closed_; }

 private:
  struct Control {
    ControlEntry entry;
    std::string text;
    std::vector<std::string> parts;
    std::vector<std::vector<std::string>> rows;
    int selectedRow = -1;
    int position = 0;
    int period = 0;
  };
  struct Event {
    enum Kind { kClick, kDoubleClick, kElapse, kClose } kind;
    ControlId control;
  };

  Control* Find(ControlId id, ControlKind kind);
  const Control* Find(ControlId id, ControlKind kind) const;
  std::string NameOf(ControlId id) const;
  void Record(std::string entry) { calls_.push_back(std::move(entry)); }
  void Dispatch(const Event& event);

  bool created_ = false;
  bool closed_ = false;
  bool quitPending_ = false;
  ControlId windowId_ = 0;
  std::string caption_;
  std::map<ControlId, Control> controls_;
  std::deque<Event> queue_;
  std::vector<std::string> calls_;
};

}  // namespace velk::platform

#endif  // VELK_PLATFORM_TOOLKIT_RECORDING_TOOLKIT_H_
