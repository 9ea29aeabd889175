#include "screens/image_view.h"

#include <cctype>

#include "console/console.h"

namespace zubo {

bool is_image_url(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ending : {".jpg", ".jpeg", ".png", ".gif", ".webp"}) {
        const std::string e = ending;
        if (path.size() > e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0) return true;
    }
    return false;
}

void show_image(Run& run, const std::string& url) {
    run.console.print("%s\n", url.c_str());
}

}  // namespace zubo
