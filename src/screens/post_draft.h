#pragma once
// A post being written, as the user keeps it between tries: the draft
// file of the home, drafts/BOARD-KEY.txt (BOARD-new.txt for a new
// thread), in the console's encoding. Its header lines (タイトル: for a new
// thread, 名前:, メール:) end at the first empty line; the body follows.

#include <optional>
#include <string>
#include <string_view>

#include "documents/post_form.h"

namespace zubo {

// The draft's path relative to the home; empty when the board or key
// can't name a file.
std::string draft_path(const std::string& board, const std::string& key);

// The draft as its file holds it, CP932 (before the console's encoding).
std::string draft_text(const PostDraft& draft, bool new_thread);
// The draft a file's text (CP932) holds: the header lines it knows, the
// body after the first empty line, its last line end dropped.
PostDraft read_draft_text(std::string_view cp932);

// The file's bytes in the console's encoding, and back to CP932.
std::string draft_file_bytes(const std::string& cp932, bool utf8);
std::string draft_from_file_bytes(const std::string& bytes, bool utf8);

// Writes the draft file whole: beside it first, synced, then renamed into
// place (its directory made when missing). False when it could not be.
bool write_draft_file(const std::string& path, const std::string& bytes);
// The file's bytes; none when it is missing or unreadable.
std::optional<std::string> read_draft_file(const std::string& path);

}  // namespace zubo
