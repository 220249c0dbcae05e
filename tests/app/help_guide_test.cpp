// The user guide shown by F1: the packed lusk.hlp beside the program and its source under
// docs/. Every link must lead somewhere, every picture must be inside the packed file, and
// the messages it quotes must be the program's own.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "link/ConnectionControl.h"
#include "record/DataFiles.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

const fs::path kPackedGuide = fs::path(VEXAL_BIN_DIR) / "lusk.hlp";
const fs::path kGuideSource =
    fs::path(VEXAL_TEST_DATA_DIR) / ".." / "docs" / "guide" / "index.html";
const fs::path kPacker = fs::path(VEXAL_BIN_DIR) / "vexal-guide-pack";

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The values of every `name="..."` attribute, in page order. (Scanned by hand: the packed
// pictures make values far longer than std::regex can take.)
std::vector<std::string> attributeValues(const std::string &html, const std::string &name) {
  const std::string opening = name + "=\"";
  std::vector<std::string> values;
  for (std::size_t at = html.find(opening); at != std::string::npos;
       at = html.find(opening, at + 1)) {
    if (at == 0 || !std::isspace(static_cast<unsigned char>(html[at - 1]))) continue;
    const std::size_t start = at + opening.size();
    const std::size_t end = html.find('"', start);
    if (end == std::string::npos) break;
    values.push_back(html.substr(start, end - start));
  }
  return values;
}

std::string decodeBase64(const std::string &text) {
  static const std::string digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const auto value = digits.find(c);
    if (value == std::string::npos) throw std::runtime_error("not base64");
    bits = bits << 6 | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return out;
}

// The payload of a data: URI in base64, or nothing when `ref` is not one.
std::optional<std::string> dataUriPayload(const std::string &ref) {
  const std::string marker = ";base64,";
  const std::size_t at = ref.find(marker);
  if (!ref.starts_with("data:") || at == std::string::npos) return std::nullopt;
  try {
    return decodeBase64(ref.substr(at + marker.size()));
  } catch (const std::runtime_error &) {
    return std::nullopt;
  }
}

// Collapses every run of white space into one blank, so that a message can be compared with
// how the guide wraps it.
std::string collapsed(const std::string &text) {
  return std::regex_replace(text, std::regex("\\s+"), " ");
}

std::set<std::string> idsOf(const std::string &html) {
  const auto ids = attributeValues(html, "id");
  return {ids.begin(), ids.end()};
}

// Every in-page link names an element of the page; links to files name existing files.
void expectLinksResolve(const std::string &html, const fs::path &folder) {
  const std::set<std::string> ids = idsOf(html);
  const auto hrefs = attributeValues(html, "href");
  ASSERT_FALSE(hrefs.empty());
  for (const std::string &href : hrefs) {
    if (href.starts_with("#")) {
      EXPECT_TRUE(ids.contains(href.substr(1))) << "no element with the id of " << href;
    } else {
      EXPECT_EQ(href.find(':'), std::string::npos) << "link outside the guide: " << href;
      const std::string file = href.substr(0, href.find('#'));
      EXPECT_TRUE(fs::is_regular_file(folder / file)) << href;
    }
  }
}

TEST(HelpGuide, ThePackedGuideLiesBesideTheProgram) {
  ASSERT_TRUE(fs::is_regular_file(kPackedGuide)) << kPackedGuide;
  ASSERT_TRUE(fs::is_regular_file(fs::path(VEXAL_BIN_DIR) / "vexal"));
  const std::string html = readFile(kPackedGuide);
  EXPECT_NE(html.find("<title>Vexal user guide</title>"), std::string::npos);
  EXPECT_EQ(html.find('\0'), std::string::npos);
}

TEST(HelpGuide, EveryLinkOfThePackedGuideResolves) {
  const std::string html = readFile(kPackedGuide);
  expectLinksResolve(html, kPackedGuide.parent_path());
}

TEST(HelpGuide, IdsAreUnique) {
  const std::string html = readFile(kGuideSource);
  std::map<std::string, int> seen;
  for (const std::string &id : attributeValues(html, "id")) ++seen[id];
  for (const auto &[id, count] : seen) EXPECT_EQ(count, 1) << id;
}

TEST(HelpGuide, EverySectionIsInTheContents) {
  const std::string html = readFile(kGuideSource);
  const std::regex section("<h2 id=\"([^\"]+)\">");
  const auto hrefs = attributeValues(html, "href");
  const std::set<std::string> linked(hrefs.begin(), hrefs.end());
  int sections = 0;
  for (std::sregex_iterator it(html.begin(), html.end(), section), end; it != end; ++it) {
    const std::string id = (*it)[1].str();
    if (id == "contents") continue;
    ++sections;
    EXPECT_TRUE(linked.contains("#" + id)) << id;
  }
  EXPECT_GE(sections, 13);
}

TEST(HelpGuide, EveryPictureIsPackedIntoTheFileAsAPng) {
  const std::string html = readFile(kPackedGuide);
  const auto sources = attributeValues(html, "src");
  // The main window, the two panel pictures, the chart with a PI run, the insulation test
  // window, its report, --analysis in a terminal and the Archive window.
  ASSERT_EQ(sources.size(), 8u);
  for (const std::string &src : sources) {
    const auto payload = dataUriPayload(src);
    ASSERT_TRUE(payload) << src.substr(0, 60);
    EXPECT_TRUE(src.starts_with("data:image/png;base64,"));
    EXPECT_EQ(payload->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_GT(payload->size(), 1000u);
  }
}

TEST(HelpGuide, TheSourceNamesOnlyPicturesThatExist) {
  const std::string html = readFile(kGuideSource);
  const fs::path drawn = fs::path(VEXAL_BIN_DIR) / ".." / "docs" / "pictures";
  expectLinksResolve(html, kGuideSource.parent_path());
  for (const std::string &src : attributeValues(html, "src"))
    EXPECT_TRUE(fs::is_regular_file(kGuideSource.parent_path() / src) ||
                fs::is_regular_file(drawn / src))
        << src;
}

TEST(HelpGuide, QuotesTheProgramsMessagesExactly) {
  const std::string text = collapsed(readFile(kGuideSource));
  for (const std::string &message : {std::string(kCableMissingText), std::string(kNoAccessText),
                                    std::string(kLoadFailedText), std::string(kCableName)})
    EXPECT_NE(text.find(collapsed(message)), std::string::npos) << message;
  // The text file's header line, tab-separated.
  EXPECT_NE(text.find("Measurement No.&#9;Time&#9;Value&#9;Unit&#9;Function&#9;Remark"),
            std::string::npos);
}

// --- The packer that builds lusk.hlp --------------------------------------------------------

class GuidePack : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vexal-guide-pack-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "pictures");
  }
  void TearDown() override { fs::remove_all(dir); }

  int pack(const fs::path &in, const fs::path &out) {
    const std::string command = "'" + kPacker.string() + "' --images '" +
                                (dir / "pictures").string() + "' '" + in.string() + "' '" +
                                out.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir;
};

TEST_F(GuidePack, PicturesComeBackByteForByte) {
  // Lengths of every remainder modulo 3, so that every padding case is taken.
  const std::vector<std::string> pictures = {std::string("\x89PNG\0\xff", 6),
                                             std::string("\x01\x02\x03\x04\x05\x06\x07", 7),
                                             std::string("\xfe\xfd\xfc\xfb\xfa\xf9\xf8\xf7", 8)};
  std::string page = "<p>";
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    writeFile(dir / "pictures" / ("p" + std::to_string(i) + ".png"), pictures[i]);
    page += "<img src=\"p" + std::to_string(i) + ".png\" />";
  }
  page += "<img src=\"data:image/png;base64,AAAA\" /><a href=\"#x\">x</a></p>";
  writeFile(dir / "in.html", page);

  ASSERT_EQ(pack(dir / "in.html", dir / "out.hlp"), 0);
  const std::string html = readFile(dir / "out.hlp");
  const auto sources = attributeValues(html, "src");
  ASSERT_EQ(sources.size(), 4u);
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const auto payload = dataUriPayload(sources[i]);
    ASSERT_TRUE(payload) << sources[i];
    EXPECT_EQ(*payload, pictures[i]) << i;
  }
  EXPECT_EQ(sources[3], "data:image/png;base64,AAAA");  // already inside: left alone
  EXPECT_NE(html.find("<a href=\"#x\">x</a></p>"), std::string::npos);
}

TEST_F(GuidePack, AMissingPictureFailsAndLeavesTheOldFile) {
  writeFile(dir / "in.html", "<img src=\"gone.png\" />");
  writeFile(dir / "out.hlp", "previous guide");
  EXPECT_EQ(pack(dir / "in.html", dir / "out.hlp"), 1);
  EXPECT_EQ(readFile(dir / "out.hlp"), "previous guide");
  EXPECT_FALSE(fs::exists(dir / "out.hlp.part"));
}

TEST_F(GuidePack, AMissingPageFailsWithoutOutput) {
  EXPECT_EQ(pack(dir / "none.html", dir / "out.hlp"), 1);
  EXPECT_FALSE(fs::exists(dir / "out.hlp"));
}

}  // namespace
}  // namespace vexal
