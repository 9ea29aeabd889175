#include "documents/post_id.h"

namespace zubo {
namespace {

constexpr std::string_view kIdMark = "ID:";

// Where the first "ID:" at the field's start or after a space begins.
std::size_t id_mark(std::string_view date) {
    for (std::size_t at = date.find(kIdMark); at != std::string_view::npos; at = date.find(kIdMark, at + 1)) {
        if (at == 0 || date[at - 1] == ' ') return at;
    }
    return std::string_view::npos;
}

}  // namespace

std::string_view post_id(std::string_view date) {
    std::size_t mark = id_mark(date);
    if (mark == std::string_view::npos) return {};
    std::size_t begin = mark + kIdMark.size();
    std::size_t end = begin;
    while (end < date.size() && static_cast<unsigned char>(date[end]) > ' ') ++end;
    std::string_view id = date.substr(begin, end - begin);
    if (id.find_first_not_of('?') == std::string_view::npos) return {};
    return id;
}

}  // namespace zubo
