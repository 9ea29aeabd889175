#pragma once
// A field of the service's documents as the screen shows it, in CP932:
// its character references decoded. A character CP932 lacks (an emoji)
// keeps its reference text, as the CP932 console shows it.

#include <string>

namespace zubo {

// The field's CP932 text with its references decoded when decode is set,
// ASCII letters folded to lower case when fold is set (a trail byte keeps
// its value: it is half of a double-byte character). A field that needs
// neither is returned as it stands; otherwise the text is built in *out.
const char* decoded_cp932(const char* field, bool fold, std::string* out, bool decode = true);

}  // namespace zubo
