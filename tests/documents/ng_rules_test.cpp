#include "documents/ng_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

// Reads rules written in UTF-8, stored in the file's encoding.
NgRules read_rules(const test::TempDir& dir, const std::string& utf8_rules, bool utf8_file,
                   std::vector<int>* bad = nullptr) {
    test::write_file(dir.file("ng.txt"), utf8_file ? utf8_rules : test::sjis(utf8_rules));
    return NgRules::read(dir.file("ng.txt").c_str(), utf8_file, bad);
}

TEST(NgRules, MatchFieldsByKind) {
    const std::string name = test::sjis("名無しさん Kotehan");
    const std::string body = test::sjis("こんにちは ヂ &gt;&gt;12 Hello &#12316; &#x1F600;");
    const std::string raw = name + "<>sage<>2026/01/01 ID:Ulc37LKS<>" + body + " <>\n";
    const NgPostFields post{raw.c_str(), name.c_str(), "sage", "ID:Ulc37LKS", body.c_str()};
    const std::string title = test::sjis("【悲報】Test thread &amp; more");
    struct Row {
        const char* rules;
        bool utf8_file, post, title;
    } rows[] = {
        {"word 名無し", true, true, false},
        {"word ID:Ulc37LKS", false, true, false},
        {"word &gt;&gt;12", true, true, false},      // the raw line keeps its references
        {"body &gt;", true, false, false},           // the body has them decoded
        {"body >>12", false, true, false},
        {"body hello", true, true, false},           // ASCII case folded for body and name
        {"body ア", true, false, false},             // but not a trail byte: ア is 83 41, ヂ 83 61
        {"name KOTEHAN", false, true, false},
        {"name 無名", true, false, false},
        {"mail sage", true, true, false},
        {"mail SAGE", true, false, false},
        {"id Ulc37LKS", true, true, false},
        {"id ID:Ulc37LKS", false, true, false},
        {"id Ulc37", true, false, false},            // compared whole
        {"id /^Ulc3/", true, true, false},
        {"body /〜/", true, true, false},            // &#12316;
        {"body /こんにちは ヂ/", false, true, false},  // a regex in a CP932 file
        {"body 😀", true, true, false},              // no CP932 form: matched on the UTF-8 text
        {"body /hello/", true, false, false},
        {"body /hello/i", true, true, false},
        {"name /^名無し.*kotehan$/i", true, true, false},
        {"name /さん(?:＠|@| )kotehan/i", true, true, false},  // full-width signs keep the prefilter
        {"word /ID:Ulc37LKS<>/", true, true, false},
        {"title 【悲報】", false, false, true},
        {"title /thread & more$/", true, false, true},
        {"title /^test/i", true, false, false},
        {"title /^【悲報】test/i", true, false, true},
        {"title THREAD", true, false, false},
    };
    for (const Row& row : rows) {
        test::TempDir dir;
        NgRules rules = read_rules(dir, row.rules, row.utf8_file);
        EXPECT_FALSE(rules.empty()) << row.rules;
        EXPECT_EQ(rules.matches_post(post), row.post) << row.rules;
        EXPECT_EQ(rules.matches_title(title.c_str()), row.title) << row.rules;
    }
}

TEST(NgRules, BadLinesAreNumberedAndSkipped) {
    struct Row {
        std::string rules;
        bool utf8_file;
        std::vector<int> bad;
        bool chain, hide, empty;
    } rows[] = {
        {"# comment\n\n  \t\nchain\nhide \r\nname x\n", true, {}, true, true, false},
        {"chain\n# name x\n", false, {}, true, false, true},
        {"nick x\nname\nname \nbody /(/\nbody /a/\r\nword \xff\xfe\n", true, {1, 2, 3, 4, 6}, false, false, false},
        {"body /(/i\nhide\nid /[z-a]/", false, {1, 3}, false, true, true},
    };
    for (const Row& row : rows) {
        test::TempDir dir;
        std::vector<int> bad;
        test::write_file(dir.file("ng.txt"), row.rules);
        // A refused expression is a bad line, and the library says nothing.
        ::testing::internal::CaptureStderr();
        NgRules rules = NgRules::read(dir.file("ng.txt").c_str(), row.utf8_file, &bad);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << row.rules;
        EXPECT_EQ(bad, row.bad) << row.rules;
        EXPECT_EQ(rules.chain(), row.chain) << row.rules;
        EXPECT_EQ(rules.hide(), row.hide) << row.rules;
        EXPECT_EQ(rules.empty(), row.empty) << row.rules;
    }
    test::TempDir dir;
    std::vector<int> bad;
    EXPECT_TRUE(NgRules::read(dir.file("none.txt").c_str(), true, &bad).empty());
    EXPECT_TRUE(bad.empty());
}

// What compiling found is kept for the next start and taken only for the
// same bytes: one byte changed (the same length) and the rules are the new
// ones, never the kept ones.
TEST(NgRules, KeptCompilationServesOnlyTheSameBytes) {
    test::TempDir dir;
    const std::string kept = dir.file("kept");
    const std::string before = "body /sp[a]m[0-9]/\nname /(/\nbody /ham/i\n";
    const std::string after = "body /sp[a]m[0-9]/\nname /(/\nbody /jam/i\n";
    const NgPostFields spam{"", "", "", "", "spam7"}, ham{"", "", "", "", "HAM"}, jam{"", "", "", "", "Jam"};
    for (int run = 0; run < 2; ++run) {
        std::vector<int> bad;
        NgRules rules = NgRules::parse(before, false, &bad, kept.c_str());
        EXPECT_EQ(bad, std::vector<int>{2}) << run;
        EXPECT_TRUE(rules.matches_post(spam)) << run;
        EXPECT_TRUE(rules.matches_post(ham)) << run;
        EXPECT_FALSE(rules.matches_post(jam)) << run;
        EXPECT_TRUE(test::file_exists(kept));
    }
    // The kept file is what the second start trusted: its strings decide.
    std::string file = test::read_file(kept);
    ASSERT_NE(file.find("5 spam7"), std::string::npos) << file;
    for (std::size_t at; (at = file.find("5 spam")) != std::string::npos;) file.replace(at, 6, "5 zzzz");
    test::write_file(kept, file);
    EXPECT_FALSE(NgRules::parse(before, false, nullptr, kept.c_str()).matches_post(spam));
    std::vector<int> bad;
    NgRules changed = NgRules::parse(after, false, &bad, kept.c_str());
    EXPECT_EQ(bad, std::vector<int>{2});
    EXPECT_FALSE(changed.matches_post(ham));
    EXPECT_TRUE(changed.matches_post(jam));
    EXPECT_TRUE(changed.matches_post(spam));
}

TEST(NgRules, AppendedRuleKeepsTheFileAndTakesEffect) {
    struct Row {
        const char* old;  // null: no file yet
        const char* after;
    } rows[] = {
        {nullptr, "id Ulc37LKS\n"},
        {"word a", "word a\nid Ulc37LKS\n"},
        {"word a\r\n", "word a\r\nid Ulc37LKS\n"},
    };
    for (const Row& row : rows) {
        test::TempDir dir;
        const std::string path = dir.file("ng.txt");
        if (row.old) test::write_file(path, row.old);
        ASSERT_TRUE(append_ng_rule(path.c_str(), "id Ulc37LKS")) << row.after;
        EXPECT_EQ(test::read_file(path), row.after);
        EXPECT_EQ(test::names_in(dir.path()), std::set<std::string>{"ng.txt"});
        NgRules rules = NgRules::read(path.c_str(), false, nullptr);
        EXPECT_TRUE(rules.matches_post({"", "", "", "Ulc37LKS", ""}));
    }
    test::TempDir dir;
    EXPECT_FALSE(append_ng_rule(dir.file("ng.txt").c_str(), "word a\nword b"));
    EXPECT_FALSE(append_ng_rule(dir.file("missing/ng.txt").c_str(), "word a"));
    EXPECT_FALSE(test::file_exists(dir.file("ng.txt")));
}

}  // namespace
}  // namespace zubo
