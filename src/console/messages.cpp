#include "console/messages.h"

namespace zubo::messages {

// The bytes, made at build time from messages.def.
#define ZUBO_MESSAGE_CP932(name, cp932) constexpr char name[] = cp932;
#include "console/messages_cp932.inc"
#undef ZUBO_MESSAGE_CP932

namespace {

constexpr bool starts_with_square(const char* text) { return text[0] == '\x81' && text[1] == '\xa1'; }

}  // namespace

// The messages that stand on a line of their own start with the square mark.
static_assert(starts_with_square(downloading_menu) && starts_with_square(menu_strange) &&
              starts_with_square(board_page_prompt) && starts_with_square(thread_page_prompt) &&
              starts_with_square(post_prompt) && starts_with_square(thread_end));
// The NG filter copies the abone line, six あぼ～ん and its newline, over a
// line buffer of at least 60 bytes.
static_assert(sizeof abone_line == 60);

}  // namespace zubo::messages
