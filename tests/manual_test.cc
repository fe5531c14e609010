// The manual page must name every status the program ends with and every
// message it prints, so that the two cannot drift apart.
#include <gtest/gtest.h>

#include <string>

#include "tests/messages.h"
#include "tests/test_files.h"

namespace {

// The page's text with roff's escaped minus read as the plain one.
std::string ManualText() {
  std::string text = wadrix_test::ReadFile(WADRIX_SOURCE_DIR "/man/Wadrix.1");
  for (size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
    text.erase(at, 1);
  }
  return text;
}

TEST(ManualPageTest, ListsEveryExitStatusWithItsMessages) {
  const std::string text = ManualText();
  const size_t section = text.find(".SH \"EXIT STATUS\"");
  ASSERT_NE(section, std::string::npos);
  const std::string statuses = text.substr(section, text.find("\n.SH ", section + 1) - section);
  for (const auto& entry : wadrix_test::kStatusMessages) {
    SCOPED_TRACE("status " + std::to_string(entry.status));
    EXPECT_NE(statuses.find("\n.B " + std::to_string(entry.status) + "\n"), std::string::npos);
    for (const char* message : entry.messages) {
      if (message == nullptr) continue;
      // A message's first line is quoted whole, so that its trailing space
      // counts; the start of the status-6 line is followed by its value.
      const std::string text_of_message = message;
      const size_t line_end = text_of_message.find('\n');
      const bool whole = line_end != std::string::npos;
      std::string quoted = "\"";
      quoted.append(text_of_message, 0, line_end);
      if (whole) quoted += '"';
      EXPECT_NE(statuses.find(quoted), std::string::npos) << "missing: " << quoted;
    }
  }
}

TEST(ManualPageTest, ShowsTheBannerAndTheReportLabels) {
  const std::string text = ManualText();
  EXPECT_NE(text.find("\"Produce an IK dump of a binary file.\""), std::string::npos);
  for (const char* label : {"FlashSize", "ImageSize", "FileSize", "Offset", "FileOffset"}) {
    EXPECT_NE(text.find(".B " + std::string(label) + "\n"), std::string::npos) << label;
  }
}

}  // namespace
