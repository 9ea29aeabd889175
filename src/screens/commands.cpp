#include "screens/commands.h"

#include "console/console.h"

namespace zubo {

void TypedLine::read(console::Console& console) {
    console.read_command(buffer_, sizeof buffer_);
    std::size_t size = std::strcspn(buffer_, "\r\n");
    std::memcpy(text_, buffer_, size);
    text_[size] = '\0';
}

}  // namespace zubo
