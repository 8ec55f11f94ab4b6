// Renders the window after a search and saves it as a PNG file:
//   velk-screenshot <host:port> <code> <out.png>
// Run under QT_QPA_PLATFORM=offscreen (demo/screenshot.sh does).
#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/search_pipeline.h"
#include "platform/toolkit/qt/qt_driver.h"
#include "platform/toolkit/qt/qt_toolkit.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <host:port> <code> <out.png>\n", argv[0]);
    return 2;
  }
  velk::platform::QtToolkit toolkit;
  velk::SearchPipeline search{velk::Text(argv[1])};
  velk::MainWindow window(toolkit, search, [](const velk::Text&) {});
  if (!toolkit.CreateMainWindow(window.Table())) return 1;
  velk::platform::QtDriver driver(toolkit);
  driver.Type(velk::keywordEdit, argv[2]);
  driver.Click(velk::searchButton);
  // The first row selected, as after a user's click.
  driver.ClickRow(velk::resultList, 0);
  driver.RunFor(100);
  if (!driver.SaveScreenshot(argv[3])) return 1;
  std::printf("%s: %d rows\n", argv[3], toolkit.RowCount(velk::resultList));
  return 0;
}
