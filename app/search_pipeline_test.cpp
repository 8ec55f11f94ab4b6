// The window-free search: URL, page and rows, against the bundled demo site
// and the real web fetch, code page conversion and regular expressions.
#include "app/search_pipeline.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/demo_site.h"
#include "text/codepage.h"

namespace velk {
namespace {

class SearchPipelineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new testing::DemoSite; }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(site_->ok()); }

  // The whole search for `keyword` as the window runs it.
  static SearchOutcome Search(SearchPipeline& pipeline, const Text& keyword,
                              std::vector<ResultRow>& rows) {
    std::unique_ptr<SearchSteps::Matcher> matcher = pipeline.NewMatcher();
    Text page = pipeline.FetchSearchPage(pipeline.BuildSearchUrl(keyword));
    return pipeline.ExtractRows(*matcher, page, rows);
  }

  static testing::DemoSite* site_;
};

testing::DemoSite* SearchPipelineTest::site_ = nullptr;

TEST(BuildSearchUrlTest, JoinsHostPathAndTheKeywordAsTyped) {
  struct Case {
    const char* name;
    const char* keyword;
    const char* url;
  };
  const Case kCases[] = {
      {"code", "ABC-123", "srv.example/search/ABC-123/"},
      {"empty keyword", "", "srv.example/search//"},
      {"spaces kept", " a b ", "srv.example/search/ a b /"},
      {"936 bytes kept", "\xD6\xD0", "srv.example/search/\xD6\xD0/"},  // 中
      {"percent not decoded", "%41", "srv.example/search/%41/"},
  };
  SearchPipeline pipeline("srv.example");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(pipeline.BuildSearchUrl(c.keyword), Text(c.url));
  }
  // By default the build's search host.
  EXPECT_EQ(SearchPipeline().BuildSearchUrl("X"),
            ConcatText(SearchHost, "/search/X/"));
}

TEST_F(SearchPipelineTest, DemoPagesGiveTheirRowsWithChineseNamesIntact) {
  struct Case {
    const char* name;
    const char* code;
    SearchOutcome outcome;
    std::vector<ResultRow> first;  // the first rows, in page order
    size_t count;
  };
  const Case kCases[] = {
      {"UTF-8 page, charset in its first 500 bytes",
       "ABC-123",
       SearchOutcome::RowsFound,
       {{"ABC-123 \xD1\xDD\xCA\xBE\xD3\xB0\xC6\xAC \xB5\xDA\xD2\xBB\xBC\xAF",
         "1.2 GB",
         "magnet:?xt=urn:btih:02f6c5f2f9b3d49882865620098e10c121d50cf7"
         "&dn=ABC-123"}},  // ABC-123 演示影片 第一集
       3},
      {"native 936 page",
       "GBK-936",
       SearchOutcome::RowsFound,
       {{"GBK-936 \xB1\xBE\xB5\xD8\xB1\xE0\xC2\xEB\xD2\xB3 \xC9\xCF\xBC\xAF",
         "2.4 GB", ""},  // GBK-936 本地编码页 上集
        {"GBK-936 \xB1\xBE\xB5\xD8\xB1\xE0\xC2\xEB\xD2\xB3 \xCF\xC2\xBC\xAF",
         "2.1 GB", ""}},  // GBK-936 本地编码页 下集
       2},
      {"UTF-8 page the fetch does not recognise; names keep their entities",
       "ENT-001",
       SearchOutcome::RowsFound,
       {{"ENT-001 &amp; \xC5\xF3\xD3\xD1 &lt;\xB5\xBC\xD1\xDD\xBC\xF4\xBC\xAD"
         "\xB0\xE6&gt;",
         "1.0 GB", ""},  // ENT-001 &amp; 朋友 &lt;导演剪辑版&gt;
        {"ENT-001 &quot;\xCC\xD8\xB1\xF0\xC6\xAA&quot; &#20013;&#25991;",
         "700 MB", ""}},  // ENT-001 &quot;特别篇&quot; &#20013;&#25991;
       2},
      {"page without rows", "NONE-000", SearchOutcome::NothingFound, {}, 0},
      {"unknown code", "ZZZ-999", SearchOutcome::NothingFound, {}, 0},
  };
  SearchPipeline pipeline(Text(site_->HostPort()));
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<ResultRow> rows;
    EXPECT_EQ(Search(pipeline, c.code, rows), c.outcome);
    ASSERT_EQ(rows.size(), c.count);
    for (size_t i = 0; i < c.first.size(); ++i) {
      EXPECT_EQ(rows[i].name, c.first[i].name);
      EXPECT_EQ(rows[i].size, c.first[i].size);
      if (!c.first[i].link.empty()) {
        EXPECT_EQ(rows[i].link, c.first[i].link);
      }
    }
    for (const ResultRow& row : rows) {
      EXPECT_EQ(FindText(row.name, "?", std::nullopt, false), -1) << row.name;
      EXPECT_EQ(FindText(row.link, "magnet:?xt=urn:btih:", std::nullopt, false),
                1);
    }
  }
}

TEST_F(SearchPipelineTest, ConvertingEveryPageAgainWouldBreakTheNames) {
  // The step the pipeline leaves out for a 936 text: converting it "from
  // UTF-8" once more. Both the page the fetch converted and the native
  // 936 page would lose their Chinese names to question marks.
  SearchPipeline pipeline(Text(site_->HostPort()));
  for (const char* code : {"ABC-123", "GBK-936"}) {
    SCOPED_TRACE(code);
    Text page = pipeline.FetchSearchPage(pipeline.BuildSearchUrl(code));
    Text again = Utf8TextToGbk(page);
    EXPECT_NE(again, page);
    EXPECT_LT(again.length(), page.length());
    RegexObject regex;
    std::vector<ResultRow> rows;
    ASSERT_EQ(SearchPipeline::ExtractRows(regex, again, rows),
              SearchOutcome::RowsFound);
    EXPECT_NE(FindText(rows[0].name, "?", std::nullopt, false), -1);
  }
}

TEST_F(SearchPipelineTest, LargePageGivesEveryRowInOrder) {
  SearchPipeline pipeline(Text(site_->HostPort()));
  std::vector<ResultRow> rows;
  ASSERT_EQ(Search(pipeline, "BIG-4000", rows), SearchOutcome::RowsFound);
  ASSERT_EQ(rows.size(), 4000u);
  EXPECT_EQ(rows.back().link,
            Text("magnet:?xt=urn:btih:7cebedf100b082c686caabd6b165517491291254"
                 "&dn=BIG-4000-4000"));
  for (size_t i = 0; i < rows.size(); ++i) {
    // "第<n>部" ends every name: 第 is D5 DA... in 936, so look for the
    // number before 部 (B2 BF).
    Text tail = ConcatText(NumberToText(static_cast<int>(i) + 1), "\xB2\xBF");
    ASSERT_EQ(TextRight(rows[i].name, tail.length()), tail) << i;
  }
}

TEST_F(SearchPipelineTest, UnreachableSiteFindsNothing) {
  const testing::RefusingPort refusing;
  SearchPipeline pipeline{Text(refusing.HostPort())};
  EXPECT_EQ(pipeline.FetchSearchPage(pipeline.BuildSearchUrl("ABC-123")),
            Text());
  std::vector<ResultRow> rows;
  EXPECT_EQ(Search(pipeline, "ABC-123", rows), SearchOutcome::NothingFound);
  EXPECT_TRUE(rows.empty());
}

TEST(ExtractRowsTest, ReadsGroupsOneTwoAndFourOfEveryRowAsThePageHasThem) {
  const Text page(
      "<table>\n"
      // Tags in another case still match: case is ignored.
      "<TR><TD CLASS=\"name\">a &amp; b</td><td class=\"size\">1 GB</td>"
      "<td>GROUP3</td><a>Detail</a><a href=\"magnet:?xt=1\" title=\"m\">\n"
      // A line feed inside a row: \".\" does not cross it, so no match.
      "<tr><td class=\"name\">broken\n</td><td class=\"size\">2 GB</td>"
      "<td>x</td><a>Detail</a><a href=\"magnet:?xt=2\" title=\"m\">\n"
      "<tr><td class=\"name\"><b>bold</b></td><td class=\"size\">3 GB<i></td>"
      "<a>Detail</a><a href=\"magnet:?xt=3\" title=\"m\">\n"
      "</table>\n");
  RegexObject regex;
  std::vector<ResultRow> rows;
  ASSERT_EQ(SearchPipeline::ExtractRows(regex, page, rows),
            SearchOutcome::RowsFound);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (ResultRow{"a &amp; b", "1 GB", "magnet:?xt=1"}));
  // Markup in a cell stays; the size stops at the next "<".
  EXPECT_EQ(rows[1], (ResultRow{"<b>bold</b>", "3 GB", "magnet:?xt=3"}));
  for (const ResultRow& row : rows) {
    EXPECT_EQ(FindText(ConcatText(row.name, row.size, row.link), "GROUP3",
                       std::nullopt, false),
              -1);
  }
}

TEST(ExtractRowsTest, EmptyPageFindsNothingAndARejectedPatternFails) {
  RegexObject regex;
  std::vector<ResultRow> rows;
  EXPECT_EQ(SearchPipeline::ExtractRows(regex, Text(), rows),
            SearchOutcome::NothingFound);
  EXPECT_TRUE(rows.empty());

  // No page makes the row pattern fail on this engine; a pattern the engine
  // rejects shows the failure path through the real engine.
  SearchPipeline broken("srv.example", "<tr>(unbalanced");
  std::unique_ptr<SearchSteps::Matcher> matcher = broken.NewMatcher();
  EXPECT_EQ(broken.ExtractRows(*matcher, "<tr>(unbalanced", rows),
            SearchOutcome::EngineFailed);
  EXPECT_TRUE(rows.empty());
}

TEST(IsWellFormedUtf8Test, AcceptsUtf8AndRejects936AndBrokenSequences) {
  struct Case {
    const char* name;
    const char* text;
    bool wellFormed;
  };
  const Case kCases[] = {
      {"empty", "", true},
      {"ascii", "<tr>abc</tr>", true},
      {"two, three and four bytes", "\xC2\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80",
       true},
      {"936 text", "\xD6\xD0\xCE\xC4", false},  // 中文
      {"stray continuation byte", "a\x80", false},
      {"truncated at the end", "a\xE4\xB8", false},
      {"overlong two bytes", "\xC0\xAF", false},
      {"overlong three bytes", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false},
      {"highest code point", "\xF4\x8F\xBF\xBF", true},
      {"lead byte F5", "\xF5\x80\x80\x80", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsWellFormedUtf8(c.text), c.wellFormed);
  }
}

}  // namespace
}  // namespace velk
