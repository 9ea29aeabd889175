#include <gc.h>

#include "app/options.h"
#include "screens/board_list.h"

namespace {

// The collector's warnings would go to standard error, which zubo keeps
// silent.
void quiet_warning(char*, GC_word) {}

}  // namespace

int main(int argc, char** argv) {
    GC_set_warn_proc(quiet_warning);
    zubo::apply_options(argc, argv);
    zubo::show_board_list();
    return 0;
}
