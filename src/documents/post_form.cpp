#include "documents/post_form.h"

// Made by the posting work; these stand in until then.
namespace zubo {
std::string post_url(const PostPlace&) { return {}; }
std::string post_referer(const PostPlace&) { return {}; }
std::string post_form_body(const PostPlace&, const PostDraft&, long long) { return {}; }
std::string confirm_form_body(const ConfirmForm&) { return {}; }
}  // namespace zubo
