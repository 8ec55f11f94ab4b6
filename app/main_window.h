// The program's one window: its table of controls, and the handlers of its
// four events. Every window operation goes through the toolkit service; the
// search's window-free steps go through SearchSteps; opening a link goes
// through the shell opener given at construction.
#ifndef VELK_APP_MAIN_WINDOW_H_
#define VELK_APP_MAIN_WINDOW_H_

#include <functional>

#include "app/search_steps.h"
#include "platform/toolkit/toolkit.h"
#include "text/text.h"

namespace velk {

// The controls of the window, by the names the handlers use.
enum MainWindowControl : platform::ControlId {
  mainWindow = 1,
  promptLabel,
  keywordEdit,
  searchButton,
  resultList,
  statusBar,
  progressBar,
  progressTimer,
  pageBuffer,
};

// Texts of the window, in code page 936. The parts' texts at creation use
// the full-width colon; the texts the handlers write use the ASCII one.
// VELK种子搜索器 V1.0 群号:58204619
inline constexpr char kCaption[] =
    "VELK\xD6\xD6\xD7\xD3\xCB\xD1\xCB\xF7\xC6\xF7 V1.0 "
    "\xC8\xBA\xBA\xC5:58204619";
inline constexpr char kPromptText[] =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xB7\xAC\xBA\xC5\xA3\xBA";  // 请输入番号：
inline constexpr char kSearchButtonText[] = "\xCB\xD1\xCB\xF7";  // 搜索
inline constexpr char kNameTitle[] = "\xC3\xFB\xB3\xC6";         // 名称
inline constexpr char kSizeTitle[] = "\xB4\xF3\xD0\xA1";         // 大小
// 磁性链接(迅雷下载&双击打开)
inline constexpr char kLinkTitle[] =
    "\xB4\xC5\xD0\xD4\xC1\xB4\xBD\xD3(\xD1\xB8\xC0\xD7\xCF\xC2\xD4\xD8&"
    "\xCB\xAB\xBB\xF7\xB4\xF2\xBF\xAA)";
inline constexpr char kCountPartAtStart[] =
    "\xCA\xFD\xC1\xBF\xA3\xBA"
    "0";  // 数量：0
inline constexpr char kStatePartAtStart[] =
    "\xD7\xB4\xCC\xAC\xA3\xBA";  // 状态：
inline constexpr char kProgressPart[] = "\xBD\xF8\xB6\xC8\xA3\xBA";  // 进度：
inline constexpr char kCountPrefix[] = "\xCA\xFD\xC1\xBF:";          // 数量:
inline constexpr char kStateIdle[] =
    "\xD7\xB4\xCC\xAC:\xB4\xFD\xCB\xD1\xCB\xF7";  // 状态:待搜索
inline constexpr char kStateSearching[] =
    "\xD7\xB4\xCC\xAC:\xCB\xD1\xCB\xF7\xD6\xD0";  // 状态:搜索中
inline constexpr char kStateDone[] =
    "\xD7\xB4\xCC\xAC:\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9.";  // 状态:搜索完成.
// 状态:无资源,或者请重新搜索.
inline constexpr char kStateNothing[] =
    "\xD7\xB4\xCC\xAC:\xCE\xDE\xD7\xCA\xD4\xB4,\xBB\xF2\xD5\xDF\xC7\xEB\xD6\xD8"
    "\xD0\xC2\xCB\xD1\xCB\xF7.";
inline constexpr char kStateFailed[] =
    "\xD7\xB4\xCC\xAC:\xD1\xCF\xD6\xD8\xB4\xED\xCE\xF3";  // 状态:严重错误

// The progress timer's period while a search runs, in milliseconds.
inline constexpr int kTickPeriod = 200;

class MainWindow {
 public:
  // Hands a text to the desktop to open; reports nothing.
  using ShellOpener = std::function<void(const Text&)>;

  // All three must outlive the window.
  MainWindow(platform::Toolkit& toolkit, SearchSteps& search,
             ShellOpener openWithShell);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The window and every control as the user sees them at start, with the
  // handlers bound to this object.
  platform::WindowTable Table();

  void OnWindowCreated();
  void OnSearchClicked();
  void OnResultDoubleClicked();
  void OnProgressTick();

 private:
  void ShowRowCount();

  platform::Toolkit& toolkit_;
  SearchSteps& search_;
  ShellOpener openWithShell_;
};

// Start-up: creates the window (which runs OnWindowCreated) and runs the
// event loop until the window is closed. Returns the process exit code: 0,
// or 1 when the window cannot be created.
int RunMainWindow(platform::Toolkit& toolkit, SearchSteps& search,
                  MainWindow::ShellOpener openWithShell);

}  // namespace velk

#endif  // VELK_APP_MAIN_WINDOW_H_
