#include "documents/ng_rules.h"

#include <fcntl.h>
#include <re2/filtered_re2.h>
#include <re2/re2.h>
#include <re2/set.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "store/files.h"
#include "text/char_refs.h"
#include "text/decoded_text.h"
#include "text/lines.h"
#include "text/sjis.h"

namespace zubo {
namespace {

constexpr std::string_view kKindNames[] = {"word", "name", "mail", "id", "body", "title"};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

bool is_ascii(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    }
    return true;
}

// The field's text as UTF-8, references decoded when decode is set.
std::string_view utf8_text(const char* field, bool decode, std::string* out) {
    std::size_t size = std::strlen(field);
    const char* utf8 = field;
    if (!is_ascii(field, size)) utf8 = sjis::to_utf8(field, size, &size);
    if (!decode || !std::memchr(utf8, '&', size)) return {utf8, size};
    out->clear();
    for (const char* p = utf8; *p;) {
        CharRef ref;
        if (*p == '&' && read_char_ref(p, &ref)) {
            char bytes[4];
            out->append(bytes, encode_utf8(ref.code_point, bytes));
            p += ref.size;
        } else {
            out->push_back(*p++);
        }
    }
    return *out;
}

// An ID without its "ID:", as rules and fields may both carry it.
std::string_view strip_id_prefix(std::string_view id) {
    if (id.substr(0, 3) == "ID:") id.remove_prefix(3);
    return id;
}

const char* id_token(const char* id) { return id + (std::strncmp(id, "ID:", 3) == 0 ? 3 : 0); }

bool read_whole_file(const char* path, std::string* bytes, bool* missing) {
    File file = open_file(path, "rb");
    if (!file) {
        *missing = errno == ENOENT;
        return false;
    }
    char chunk[8192];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes->append(chunk, got);
    return !std::ferror(file.get());
}

bool write_all(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Makes a rename in path's directory last: the directory's entry is on the
// disk too.
void sync_directory_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const std::string directory = slash ? std::string(path, static_cast<std::size_t>(slash - path) + 1) : ".";
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Writes the file anew beside path and renames it into place, so path is
// the old file or the new one, whole; with sync, on the disk before the
// rename, and the rename too.
bool write_whole_file(const char* path, const std::string& bytes, mode_t mode, bool sync) {
    std::string temp = std::string(path) + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool written = fchmod(fd, mode) == 0 && write_all(fd, bytes) && (!sync || fsync(fd) == 0);
    written = close(fd) == 0 && written;
    if (written && std::rename(temp.c_str(), path) == 0) {
        if (sync) sync_directory_of(path);
        return true;
    }
    unlink(temp.c_str());
    return false;
}

}  // namespace

// The regexes of a kind twice: as the filter that checks each and tells
// the strings each needs, and as the set that matches them in one pass. The
// set is compiled when a field first gets past the strings, as most fields
// of most threads don't, and compiling costs a millisecond per hundred.
struct NgRules::RegexSet {
    explicit RegexSet(const RE2::Options& options) : options(options), filter(2) {}
    const RE2::Set* compiled_set() {
        if (!set_tried) {
            set_tried = true;
            set.emplace(options, RE2::UNANCHORED);
            for (const std::string& pattern : patterns) set->Add(pattern, nullptr);
            if (!set->Compile()) set.reset();
        }
        return set ? &*set : nullptr;
    }
    RE2::Options options;
    re2::FilteredRE2 filter;
    std::vector<std::string> patterns;
    std::optional<RE2::Set> set;
    bool set_tried = false;
};

void NgRules::RegexSetDeleter::operator()(RegexSet* set) const { delete set; }

NgRules::NgRules() = default;
NgRules::~NgRules() = default;
NgRules::NgRules(NgRules&&) noexcept = default;
NgRules& NgRules::operator=(NgRules&&) noexcept = default;

NgRules NgRules::read(const char* path, bool utf8_file, std::vector<int>* bad_lines) {
    std::string bytes;
    bool missing = false;
    if (!read_whole_file(path, &bytes, &missing)) return {};
    return parse(bytes, utf8_file, bad_lines);
}

NgRules NgRules::parse(std::string_view bytes, bool utf8_file, std::vector<int>* bad_lines, const char* kept_path) {
    NgRules rules;
    Compiled kept;
    const bool known = kept_path && read_compiled(kept_path, bytes, utf8_file, &kept);
    if (known) rules.known_ = &kept;
    std::string_view rest = bytes;
    for (int number = 1; !rest.empty(); ++number) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        rules.line_number_ = number;
        if (!rules.read_line(line, utf8_file) && bad_lines) bad_lines->push_back(number);
    }
    rules.compile();
    if (kept_path && !known && rules.has_regexes()) keep_compiled(kept_path, bytes, utf8_file, rules.found_);
    rules.known_ = nullptr;
    rules.found_ = Compiled();
    return rules;
}

namespace {

// The kept compilation's file: a first line naming its form, the encoding's
// flag, the rules file's bytes (their size, then themselves), the refused
// lines, then per kind the prefilter's flag and its strings, each with its
// size. Anything else, or other bytes, and the rules are compiled anew.
constexpr std::string_view kKeptForm = "zubo ng.txt compiled 2 ";

// The first line: the form, then the program that wrote it (its file's
// size and time): another build of zubo, or of the RE2 linked into it, may
// judge the expressions otherwise, and compiles them anew.
std::string kept_first_line() {
    struct stat program;
    std::string line(kKeptForm);
    if (stat("/proc/self/exe", &program) == 0) {
        line += std::to_string(program.st_size) + "." + std::to_string(program.st_mtim.tv_sec) + "." +
                std::to_string(program.st_mtim.tv_nsec);
    }
    return line + "\n";
}

bool read_number(std::string_view* text, long long* number) {
    std::size_t end = text->find_first_of(" \n");
    if (end == 0 || end == std::string_view::npos) return false;
    long long value = 0;
    for (char c : text->substr(0, end)) {
        if (c < '0' || c > '9' || value > (1LL << 40)) return false;
        value = value * 10 + (c - '0');
    }
    *number = value;
    text->remove_prefix(end + 1);
    return true;
}

bool read_sized(std::string_view* text, std::string_view* bytes) {
    long long size = 0;
    if (!read_number(text, &size) || static_cast<std::size_t>(size) > text->size()) return false;
    *bytes = text->substr(0, static_cast<std::size_t>(size));
    text->remove_prefix(static_cast<std::size_t>(size));
    return true;
}

void append_sized(std::string* out, std::string_view bytes) {
    *out += std::to_string(bytes.size()) + ' ';
    *out += bytes;
}

}  // namespace

bool NgRules::read_compiled(const char* path, std::string_view bytes, bool utf8_file, Compiled* compiled) {
    std::string file;
    bool missing = false;
    if (!read_whole_file(path, &file, &missing)) return false;
    std::string_view text = file;
    std::string_view rules;
    const std::string first_line = kept_first_line();
    if (text.substr(0, first_line.size()) != first_line) return false;
    text.remove_prefix(first_line.size());
    if (text.substr(0, 2) != (utf8_file ? "u\n" : "s\n")) return false;
    text.remove_prefix(2);
    if (!read_sized(&text, &rules) || rules != bytes) return false;
    long long count = 0;
    if (!read_number(&text, &count) || count > static_cast<long long>(bytes.size())) return false;
    for (long long i = 0; i < count; ++i) {
        long long line = 0;
        if (!read_number(&text, &line)) return false;
        compiled->refused_lines.push_back(static_cast<int>(line));
    }
    for (int kind = 0; kind < kKindCount; ++kind) {
        long long prefilter = 0, atoms = 0;
        if (!read_number(&text, &prefilter) || !read_number(&text, &atoms) || atoms > static_cast<long long>(file.size())) {
            return false;
        }
        // A prefilter needs strings: without any it would pass no field.
        if (prefilter > 1 || (prefilter == 1 && atoms == 0)) return false;
        compiled->prefilter[static_cast<std::size_t>(kind)] = prefilter == 1;
        for (long long i = 0; i < atoms; ++i) {
            std::string_view atom;
            if (!read_sized(&text, &atom)) return false;
            compiled->atoms[static_cast<std::size_t>(kind)].emplace_back(atom);
        }
    }
    return text == "\n";
}

void NgRules::keep_compiled(const char* path, std::string_view bytes, bool utf8_file, const Compiled& compiled) {
    std::string text = kept_first_line();
    text += utf8_file ? "u\n" : "s\n";
    append_sized(&text, bytes);
    text += std::to_string(compiled.refused_lines.size()) + ' ';
    for (int line : compiled.refused_lines) text += std::to_string(line) + ' ';
    for (int kind = 0; kind < kKindCount; ++kind) {
        const auto& atoms = compiled.atoms[static_cast<std::size_t>(kind)];
        text += std::string(compiled.prefilter[static_cast<std::size_t>(kind)] ? "1 " : "0 ") +
                std::to_string(atoms.size()) + ' ';
        for (const std::string& atom : atoms) append_sized(&text, atom);
    }
    // Only speed hangs on it: a home that takes no file compiles each time.
    write_whole_file(path, text + "\n", 0600, false);
}

// Takes one line of the file; false when it can't be read.
bool NgRules::read_line(std::string_view line, bool utf8_file) {
    std::string_view text = trim(line);
    if (text.empty() || text.front() == '#') return true;
    if (text == "chain") return chain_ = true;
    if (text == "hide") return hide_ = true;
    std::size_t space = line.find_first_of(" \t");
    if (space == std::string_view::npos) return false;
    std::string_view kind = trim(line.substr(0, space));
    std::string_view pattern = line.substr(space + 1);
    while (!pattern.empty() && is_blank(pattern.front())) pattern.remove_prefix(1);
    if (pattern.empty()) return false;
    for (int k = 0; k < kKindCount; ++k) {
        if (kind == kKindNames[k]) return add_rule(static_cast<Kind>(k), pattern, utf8_file);
    }
    return false;
}

bool NgRules::add_rule(Kind kind, std::string_view pattern, bool utf8_file) {
    bool fold = pattern.size() >= 3 && pattern.substr(pattern.size() - 2) == "/i";
    bool regex = pattern.size() >= 2 && pattern.front() == '/' && (fold || pattern.back() == '/');
    if (regex) {
        std::string_view inner = pattern.substr(1, pattern.size() - (fold ? 3 : 2));
        if (utf8_file) return add_regex(kind, std::string(inner), fold);
        std::size_t size = 0;
        const char* utf8 = sjis::to_utf8_strict(inner.data(), inner.size(), &size);
        return utf8 && add_regex(kind, std::string(utf8, size), fold);
    }
    if (!utf8_file) return add_substring(kind, pattern);
    std::string utf8(pattern);
    std::size_t size = 0;
    const char* cp932 = sjis::from_utf8_strict(utf8.data(), utf8.size(), &size);
    if (cp932) return add_substring(kind, {cp932, size});
    // A text CP932 has no form for can still be met in a decoded reference:
    // it is looked for as a literal regular expression on the UTF-8 text.
    std::string literal = RE2::QuoteMeta(utf8);
    if (kind == kId) literal = "^" + literal + "$";
    return add_regex(kind, literal, kind == kName || kind == kBody);
}

bool NgRules::add_substring(Kind kind, std::string_view cp932) {
    if (kind == kId) {
        ids_.emplace_back(strip_id_prefix(cp932));
    } else {
        const std::string pattern(cp932);
        std::string folded;
        const char* word = decoded_cp932(pattern.c_str(), kind == kName || kind == kBody, &folded, false);
        kinds_[kind].words.add(word, std::strlen(word));
    }
    ++rule_count_;
    return true;
}

bool NgRules::add_regex(Kind kind, const std::string& utf8, bool fold) {
    auto& regexes = kinds_[kind].regexes;
    if (!regexes) {
        RE2::Options options;
        options.set_log_errors(false);
        options.set_max_mem(64 << 20);
        regexes.reset(new RegexSet(options));
    }
    // The flag is set at the front, so it holds for the whole pattern and
    // the pattern can't close a group around it.
    std::string pattern = fold ? "(?i)" + utf8 : utf8;
    const std::vector<int>& refused = known_ ? known_->refused_lines : found_.refused_lines;
    if (known_) {
        if (std::find(refused.begin(), refused.end(), line_number_) != refused.end()) return false;
    } else if (int id = 0; regexes->filter.Add(pattern, regexes->options, &id) != RE2::NoError) {
        found_.refused_lines.push_back(line_number_);
        return false;
    }
    regexes->patterns.push_back(std::move(pattern));
    ++rule_count_;
    return true;
}

void NgRules::compile() {
    std::sort(ids_.begin(), ids_.end());
    for (KindRules& rules : kinds_) {
        // A kind whose every expression was refused has none: RE2 would
        // complain on the terminal of a filter compiled empty.
        if (rules.regexes && rules.regexes->patterns.empty()) rules.regexes.reset();
    }
    for (int kind = 0; kind < kKindCount; ++kind) {
        if (kinds_[kind].regexes) compile_prefilter(static_cast<Kind>(kind));
    }
}

// Whether an atom (lower case UTF-8) is met as it is in a folded CP932
// field: only ASCII folds there, so an atom with a letter of another cased
// script (Latin, Greek, Cyrillic below U+3000, the full-width Latin
// letters) is not. Full-width digits and signs (＠, ＃) are.
bool atom_is_folded_alike(const std::string& atom) {
    for (std::size_t i = 0; i < atom.size();) {
        auto c = static_cast<unsigned char>(atom[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t width = c < 0xf0 ? 3 : 4;
        if (c < 0xe3 || i + width > atom.size()) return false;  // below U+3000, or cut short
        if (c == 0xef) {
            // U+FF21-FF3A and U+FF41-FF5A: EF BC A1-BA, EF BD 81-9A.
            auto second = static_cast<unsigned char>(atom[i + 1]), third = static_cast<unsigned char>(atom[i + 2]);
            if ((second == 0xbc && third >= 0xa1 && third <= 0xba) || (second == 0xbd && third >= 0x81 && third <= 0x9a)) {
                return false;
            }
        }
        i += width;
    }
    return true;
}

void NgRules::compile_prefilter(Kind kind) {
    KindRules& rules = kinds_[kind];
    const auto k = static_cast<std::size_t>(kind);
    if (known_) {
        for (const std::string& atom : known_->atoms[k]) rules.regex_atoms.add(atom.data(), atom.size());
        rules.prefilter = known_->prefilter[k];
        return;
    }
    re2::FilteredRE2& filter = rules.regexes->filter;
    std::vector<std::string> atoms;
    filter.Compile(&atoms);
    std::vector<int> unfiltered;
    filter.AllPotentials({}, &unfiltered);
    if (atoms.empty() || !unfiltered.empty()) return;
    std::vector<std::string> cp932_atoms;
    for (const std::string& atom : atoms) {
        std::size_t size = 0;
        const char* cp932 = atom_is_folded_alike(atom) ? sjis::from_utf8_strict(atom.data(), atom.size(), &size) : nullptr;
        if (!cp932) return;
        cp932_atoms.emplace_back(cp932, size);
    }
    for (const std::string& atom : cp932_atoms) rules.regex_atoms.add(atom.data(), atom.size());
    rules.prefilter = true;
    found_.prefilter[k] = true;
    found_.atoms[k] = std::move(cp932_atoms);
}

bool NgRules::has_regexes() const {
    return !found_.refused_lines.empty() ||
           std::any_of(kinds_.begin(), kinds_.end(), [](const KindRules& k) { return k.regexes != nullptr; });
}

bool NgRules::has_title_rules() const {
    return !kinds_[kTitle].words.empty() || kinds_[kTitle].regexes != nullptr;
}

bool NgRules::matches_post(const NgPostFields& post) {
    if (rule_count_ == 0) return false;
    // The next post may come in the same buffers.
    shown_ = {};
    auto field = [](const char* text) { return text ? text : ""; };
    const char* id = id_token(field(post.id));
    if (!ids_.empty() && id_matches(id)) return true;
    if (!kinds_[kWord].words.empty() && kinds_[kWord].words.found_in(field(post.raw_line))) return true;
    return field_matches(kName, field(post.name)) || field_matches(kMail, field(post.mail)) ||
           regex_matches(kId, id) || field_matches(kBody, field(post.body)) ||
           regex_matches(kWord, field(post.raw_line));
}

bool NgRules::matches_title(const char* title) {
    shown_ = {};
    return field_matches(kTitle, title ? title : "");
}

bool NgRules::id_matches(const char* id) {
    return std::binary_search(ids_.begin(), ids_.end(), std::string_view(id));
}

// The substring and regex rules of a decoded field.
// A field's CP932 text as the rules compare it; the words and the regular
// expressions of a kind ask for the same one, made once per post.
const char* NgRules::shown_text(const char* field, bool fold, bool decode) {
    if (field == shown_.field && fold == shown_.fold && decode == shown_.decode) return shown_.text;
    shown_ = {field, fold, decode, decoded_cp932(field, fold, &cp932_text_, decode)};
    return shown_.text;
}

bool NgRules::field_matches(Kind kind, const char* field) {
    KindRules& rules = kinds_[kind];
    if (!rules.words.empty()) {
        bool fold = kind == kName || kind == kBody;
        if (rules.words.found_in(shown_text(field, fold, true))) return true;
    }
    return regex_matches(kind, field);
}

bool NgRules::regex_matches(Kind kind, const char* field) {
    KindRules& rules = kinds_[kind];
    if (!rules.regexes) return false;
    if (rules.prefilter && !rules.regex_atoms.found_in(shown_text(field, true, kind != kWord))) {
        return false;
    }
    // The raw line is matched as it is written; the other fields decoded.
    std::string_view text = utf8_text(field, kind != kWord, &utf8_text_);
    const RE2::Set* set = rules.regexes->compiled_set();
    return set && set->Match(re2::StringPiece(text.data(), text.size()), nullptr);
}

bool append_ng_rule(const char* path, const char* line_in_file_encoding) {
    std::string line = line_in_file_encoding;
    if (line.find('\n') != std::string::npos) return false;
    std::string bytes;
    bool missing = false;
    if (!read_whole_file(path, &bytes, &missing) && !missing) return false;
    if (!bytes.empty() && bytes.back() != '\n') bytes += '\n';
    bytes += line + '\n';
    struct stat old_file;
    // The user's own file: on the disk whole before it takes the old one's
    // place, so a crash leaves the old rules or the new ones.
    return write_whole_file(path, bytes, stat(path, &old_file) == 0 ? (old_file.st_mode & 07777) : 0644, true);
}

NgRules& read_ng_rules_file(NgRulesCache& cache, bool utf8_file, std::vector<int>* bad_lines) {
    std::string bytes;
    bool missing = false;
    if (!read_whole_file(kNgRulesFile, &bytes, &missing)) bytes.clear();
    bytes += utf8_file ? 'u' : 's';
    if (cache.read_from == bytes) return cache.rules;
    cache.rules = NgRules::parse(std::string_view(bytes).substr(0, bytes.size() - 1), utf8_file, bad_lines,
                                 kNgRulesCompiledFile);
    cache.read_from = std::move(bytes);
    return cache.rules;
}

}  // namespace zubo
