#include "sample_board.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "text/sjis.h"

namespace zubo::sample {
namespace {

// "2026/01/05(月) 12:34:56.00 ID:Smpl0005": a post date on day `day` of
// January 2026 (the 1st was a Thursday), `second` seconds after noon.
std::string date(int day, int second) {
    static const char* const kWeekdays[] = {"木", "金", "土", "日", "月", "火", "水"};
    char text[96];
    std::snprintf(text, sizeof text, "2026/01/%02d(%s) %02d:%02d:%02d.00 ID:Smpl%04d", day, kWeekdays[(day - 1) % 7],
                  12 + second / 3600, second / 60 % 60, second % 60, (day * 37 + second) % 10000);
    return text;
}

// One line of a thread document: name<>mail<>date<>body<>, the body with
// the spaces the service puts around it.
std::string post(const std::string& name, const std::string& mail, const std::string& when,
                 const std::string& body) {
    return name + "<>" + mail + "<>" + when + "<> " + body + " <>";
}

const char kNanashi[] = "名無しさん";

// Stands for the service's own URL in a thread's lines; the documents put
// the URL in its place.
const char kBaseMarker[] = "{base}";

// A thread whose first line carries the title after its last separator.
Thread thread(long key, const std::string& title, std::vector<std::string> lines) {
    if (!lines.empty()) lines.front() += title;
    return {std::to_string(key) + ".dat", title, std::move(lines)};
}

// A short thread of ordinary chatter about its title.
Thread chatter(long key, int day, const std::string& title, int posts) {
    std::vector<std::string> lines;
    for (int n = 1; n <= posts; ++n) {
        std::string body = n == 1 ? "「" + title + "」について語りましょう。"
                                  : "&gt;&gt;" + std::to_string(n - 1) + " " + std::to_string(n) + "番目の書き込みです。";
        lines.push_back(post(kNanashi, n % 2 ? "" : "sage", date(day, n * 97), body));
    }
    return thread(key, title, lines);
}

// The welcome thread: line breaks, an anchor, character references, an
// advert to hide with an NG word, and a post longer than a page.
Thread welcome_thread() {
    std::string long_body = "長文失礼します。ページより長い書き込みは、まとめて一度に表示されます。";
    for (int n = 1; n <= 24; ++n) {
        long_body += " <br> 第" + std::to_string(n) + "段落：zubo は二十行ごとに止まりますが、一つの書き込みは分けません。";
    }
    return thread(1767225600, "zuboへようこそ、サンプルスレです",
                  {
                      post("案内人★", "", date(1, 0),
                           "ようこそ。ここは zubo のサンプル板です。 <br> 番号で開いて、j[数値]で飛び、eで戻ります。"
                           " <br> 書き込みは &quot;読むだけ&quot; です。"),
                      post(kNanashi, "sage", date(1, 61),
                           "<a href=\"../test/read.cgi/sample/1767225600/1\" target=\"_blank\">&gt;&gt;1</a>"
                           " 乙です。 <br> タグは &lt;b&gt;太字&lt;/b&gt; のように見えます。"
                           " <br> 記号 &amp;amp; は &amp; と出ます。"
                           " <br> 画像も貼れます " + std::string(kBaseMarker) + kPicturePath),
                      post("儲け話", "", date(1, 122),
                           "【広告】今すぐ儲かる話があります！ <br> ngword.txt に「儲かる」と書けば、あぼ～んで隠れます。"),
                      post(kNanashi, "sage", date(1, 183), long_body),
                      post(kNanashi, "", date(1, 244), "&lt;br&gt; と書くと改行にならず、そのまま出ます。"),
                      post(kNanashi, "sage", date(1, 305), "～ の字も化けずに出ますか？"),
                      post("案内人★", "", date(1, 366), "&gt;&gt;6 出ます。 <br> 最後まで読むとスレッド一覧に戻ります。"),
                  });
}

constexpr long kFullThreadKey = 1767312000;
constexpr long kSuccessorKey = 1767484800;

// A thread that reached the limit: 1000 posts and the closing one; its
// 1000th names its successor.
Thread full_thread() {
    std::vector<std::string> lines;
    for (int n = 1; n <= 1000; ++n) {
        std::string body = std::to_string(n) + "番目の書き込みです。";
        if (n == 1000) body += " <br> 次スレ ../test/read.cgi/prog/" + std::to_string(kSuccessorKey) + "/";
        lines.push_back(post(kNanashi, "", date(2, n * 7), body));
    }
    lines.push_back(post("１００１", "", "Over 1000 Thread",
                         "このスレッドは１０００を超えました。 <br> もう書けないので、新しいスレッドを立ててください。"));
    return thread(kFullThreadKey, "1001までいったスレ", lines);
}

// The full thread's successor, which names the thread before it; its
// second post links the welcome thread from its second post on, and the
// shogi board, at the service's own address (u lists them, uN opens one).
Thread successor_thread() {
    const std::string before = "前スレ ../test/read.cgi/prog/" + std::to_string(kFullThreadKey) + "/";
    return thread(kSuccessorKey, "1001までいったスレ その2",
                  {post(kNanashi, "", date(4, 0), "新しいスレッドです。 <br> " + before),
                   post(kNanashi, "sage", date(4, 60),
                        "&gt;&gt;1 乙です。 <br> 案内スレの2から: " + std::string(kServiceMark) +
                            "/test/read.cgi/news/1767225600/2- <br> 将棋板: " + kServiceMark + "/shogi/")});
}

// Appends a chatter thread for each title, an hour apart from key on, one
// day after another from day on, of min_posts or a few more posts.
template <std::size_t N>
void add_chatter(std::vector<Thread>& threads, const char* const (&titles)[N], long key, int day, int min_posts) {
    for (const char* title : titles) {
        threads.push_back(chatter(key, day, title, min_posts + day % 4));
        key += 3600;
        day = day % 28 + 1;
    }
}

std::vector<Thread> news_threads() {
    static const char* const kTitles[] = {
        "今日の天気を語るスレ", "昼ご飯なに食べた？",     "通勤電車の話 その3",     "最近読んだ本",
        "おすすめの散歩道",     "寒い日の過ごし方",       "朝型と夜型どっち？",     "好きな駅弁を書くスレ",
        "眠れない人が集うスレ", "今年の目標",             "近所の猫の話",           "コーヒー派？紅茶派？",
        "雨の日の楽しみ",       "初めての自炊",           "懐かしいゲーム",         "冬の星座を見よう",
        "部屋の片付け",         "自転車通勤スレ",         "日記帳 その12",          "なんでも質問スレ",
        "深夜のラジオ",         "週末の予定",             "自由に雑談するスレ",
    };
    std::vector<Thread> threads{welcome_thread()};
    add_chatter(threads, kTitles, 1767229200, 3, 3);
    return threads;
}

std::vector<Thread> shogi_threads() {
    return {
        chatter(1767398400, 4, "詰将棋を出し合うスレ", 5),
        chatter(1767402000, 4, "チェスと将棋、どっちが難しい？", 4),
        chatter(1767405600, 5, "初心者の質問スレ part3", 6),
    };
}

std::vector<Thread> prog_threads() {
    static const char* const kTitles[] = {
        "C++の質問スレ Part42",      "&lt;template&gt; がわからない", "Rustを語るスレ",         "シェル芸人の集い",
        "正規表現を書くスレ",        "文字コードの話 Shift_JIS編",    "Makefile の書き方",      "テストを書こう",
        "コンパイラを作るスレ",      "アルゴリズム勉強会",            "デバッガの使い方",       "エディタ戦争 その99",
        "Linux で日本語を使う",      "ネットワークの基礎",            "古いコードを読むスレ",   "設計について語る",
        "初心者プログラマの質問箱",  "趣味のプログラミング",          "ライブラリ紹介スレ",     "今日書いたコード",
    };
    std::vector<Thread> threads{full_thread(), successor_thread()};
    add_chatter(threads, kTitles, 1767315600, 6, 2);
    return threads;
}

// A board of four threads of chatter about its name; keys, days and
// lengths follow from the board's directory, so each board's differ.
Board plain(const char* dir, const char* name) {
    int seed = 0;
    for (const char* c = dir; *c; ++c) seed = (seed * 31 + *c) % 1000;
    const std::string topic = name;
    const std::string titles[] = {topic + "の雑談スレ", topic + "の質問スレ part" + std::to_string(seed % 5 + 1),
                                  "初めての" + topic, topic + "のニュースを語る"};
    std::vector<Thread> threads;
    // Within 2026, before today: a key is the thread's creation time.
    long key = 1767400000 + (seed % 300) * 86400L;
    for (const std::string& title : titles) {
        threads.push_back(chatter(key, seed % 28 + 1, title, 3 + seed % 4));
        key += 3600;
    }
    return {dir, name, std::move(threads)};
}

std::vector<Category> build_catalogue() {
    return {
        {"ニュース",
         {{"news", "ニュース速報", news_threads()}, plain("newsplus", "ニュース速報+"),
          plain("bizplus", "ビジネスニュース+")}},
        {"趣味",
         {{"shogi", "将棋・チェス", shogi_threads()}, plain("rail", "鉄道総合"),
          {"cook", "料理", {}}, plain("igo", "囲碁"), plain("sky", "天文・気象"), plain("math", "数学")}},
        {"PC等",
         {{"prog", "プログラム", prog_threads()}, plain("linux", "Linux"), plain("unix", "UNIX"),
          plain("tech", "プログラマー"), plain("win", "Windows"), plain("mac", "Mac")}},
        {"生活",
         {plain("kankon", "家庭"), plain("money", "家計"), plain("travel", "旅行"), plain("food", "食べ物"),
          plain("sake", "お酒"), plain("pet", "ペット")}},
        {"雑談", {plain("zatsudan", "雑談"), plain("jikkyo", "実況"), plain("owarai", "お笑い")}},
    };
}

std::string subject(const Board& board) {
    std::string text;
    for (const Thread& t : board.threads) {
        text += t.key + "<>" + t.title + " (" + std::to_string(t.lines.size()) + ")\n";
    }
    return text;
}

// The thread's document, the service's address in place of its marks.
std::string document(const Thread& thread, const std::string& base_url) {
    std::string text;
    for (std::string line : thread.lines) {
        for (const char* mark : {kServiceMark, kBaseMarker}) {
            for (std::size_t at = line.find(mark); at != std::string::npos; at = line.find(mark, at + base_url.size())) {
                line.replace(at, std::strlen(mark), base_url);
            }
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace

const std::vector<Category>& catalogue() {
    static const std::vector<Category> categories = build_catalogue();
    return categories;
}

std::vector<const Board*> boards_in_order() {
    std::vector<const Board*> boards;
    for (const Category& c : catalogue()) {
        for (const Board& b : c.boards) boards.push_back(&b);
    }
    return boards;
}

std::string board_menu(const std::string& base_url) {
    // Before the first heading: the page head, links that are not boards,
    // a search form; the first heading line is the marker zubo looks for.
    std::string page =
        "<HTML>\n<HEAD>\n<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
        "<TITLE>BBS MENU for zubo sample</TITLE>\n</HEAD>\n<BODY TEXT=\"#CC3300\" BGCOLOR=\"#FFFFFF\">\n"
        "<font size=2>\n<A HREF=" + base_url + "/ TARGET=\"_top\">サンプル掲示板</A><br>\n"
        "<A HREF=" + base_url + "/guide/>案内</A><br>\n"
        "<form action=\"" + base_url + "/search\" method=get><input name=q size=10></form>\n"
        "更新日 2026/01/01\n";
    for (const Category& c : catalogue()) {
        page += "\n<br><br><B>" + c.heading + "</B><br>\n";
        for (const Board& b : c.boards) page += "<A HREF=" + base_url + "/" + b.dir + "/>" + b.name + "</A><br>\n";
    }
    page += "\n<br><br><B>他のサイト</B><br>\n<a href=" + base_url + "/about/>このサンプルについて</a>\n"
            "</font></BODY></HTML>\n";
    return page;
}

std::map<std::string, std::string> documents(const std::string& base_url) {
    std::map<std::string, std::string> docs;
    docs["/bbsmenu.html"] = to_cp932(board_menu(base_url));
    for (const Board* b : boards_in_order()) {
        std::string dir = "/" + b->dir + "/";
        docs[dir + "subject.txt"] = to_cp932(subject(*b));
        for (const Thread& t : b->threads) docs[dir + "dat/" + t.key] = to_cp932(document(t, base_url));
    }
    docs[kPicturePath] = sample_picture();
    return docs;
}

std::string sample_picture() {
    // 48 x 32: a sky that darkens upwards over green ground, and a round
    // yellow sun.
    constexpr int kWidth = 48, kHeight = 32;
    std::vector<unsigned char> pixels(kWidth * kHeight * 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            unsigned char* p = &pixels[(y * kWidth + x) * 4];
            const int dx = x - 34, dy = y - 10;
            if (dx * dx + dy * dy <= 36) {
                p[0] = 250, p[1] = 210, p[2] = 40;
            } else if (y >= 24) {
                p[0] = 40, p[1] = static_cast<unsigned char>(150 + (y - 24) * 8), p[2] = 60;
            } else {
                p[0] = static_cast<unsigned char>(60 + y * 4), p[1] = static_cast<unsigned char>(110 + y * 4), p[2] = 230;
            }
            p[3] = 255;
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
        throw std::runtime_error("the sample picture could not be made");
    }
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr)) {
        throw std::runtime_error("the sample picture could not be made");
    }
    bytes.resize(size);
    return bytes;
}

std::string path_of(const std::string& target) {
    std::string::size_type scheme = target.find("://");
    if (target.empty() || target[0] == '/' || scheme == std::string::npos) return target;
    std::string::size_type slash = target.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : target.substr(slash);
}

std::string to_cp932(const std::string& utf8) {
    std::size_t size = 0;
    const char* cp932 = sjis::from_utf8_strict(utf8.data(), utf8.size(), &size);
    if (!cp932) throw std::runtime_error("no CP932 form for: " + utf8.substr(0, 40));
    return std::string(cp932, size);
}

}  // namespace zubo::sample
