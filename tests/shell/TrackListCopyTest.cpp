// The table Ctrl+C copies: header and every row as the list shows them, during a run
// too. The key and the clipboard are tested in the real program (BatchRunTest).
#include "ShellFixture.h"

#include "platform/Controls.h"
#include "shell/TrackListCopy.h"

#include <string>
#include <vector>

namespace {

using shell_test::ShellFixture;

constexpr char kHeader[] = "File\tBPM (Primary)\tBPM (Alternative)\r\n";

struct ListRow {
  std::string path;
  std::string primary;
  std::string alternative;
};

struct TableCase {
  const char* name;
  std::vector<ListRow> rows;
  std::string table;
};

class TrackListTable : public ShellFixture, public ::testing::WithParamInterface<TableCase> {};

TEST_P(TrackListTable, HeaderAndEveryRowAsShown) {
  for (const ListRow& row : GetParam().rows) {
    const int index = platform::AppendListRow(shell_->trackList, row.path);
    ASSERT_GE(index, 0);
    if (!row.primary.empty()) {
      platform::SetListItemText(shell_->trackList, index, 1, row.primary);
    }
    if (!row.alternative.empty()) {
      platform::SetListItemText(shell_->trackList, index, 2, row.alternative);
    }
  }
  EXPECT_EQ(shell::TrackListTable(shell_->trackList), GetParam().table);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, TrackListTable,
    ::testing::Values(
        TableCase{"Empty", {}, kHeader},
        // The run writes the primary before the alternative: a copy between the two
        // shows a row half filled.
        TableCase{"MidRun",
                  {{"C:\\m\\a.mp3", "120.00", "0.00"}, {"C:\\m\\b.wav", "87.46", ""}, {"D:\\c.WAV", "", ""}},
                  std::string(kHeader) + "C:\\m\\a.mp3\t120.00\t0.00\r\nC:\\m\\b.wav\t87.46\t\r\nD:\\c.WAV\t\t\r\n"},
        // Longer than the list's first read of a cell.
        TableCase{"LongPath",
                  {{"C:\\" + std::string(700, 'x') + ".mp3", "64.00", "128.00"}},
                  std::string(kHeader) + "C:\\" + std::string(700, 'x') + ".mp3\t64.00\t128.00\r\n"}),
    [](const auto& list) { return std::string(list.param.name); });

}  // namespace
