#pragma once
// The ID the service stamps on a post, read from its date field:
// "2024/01/01(月) 12:34:56.78 ID:Ulc37LKS0", possibly with more after it
// (" BE:…", or the text of a rendered link).

#include <string_view>

namespace zubo {

// The token after "ID:" up to the next space, control byte or the field's
// end; "ID:" counts at the field's start or after a space only, so it never
// starts on a trail byte. Empty when the field has no ID, or its ID is all
// '?' ("ID:???"), the service's mark for a hidden one. The result views
// date's bytes.
std::string_view post_id(std::string_view date);

}  // namespace zubo
