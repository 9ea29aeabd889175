#pragma once
// What the thread list shows beside each entry from the read state: the
// thread's key and post count, taken from its dat name and label, the marks
// (unread posts, read, new since the last visit), the momentum, and the
// orders the list can be sorted in. Pure functions: nothing is printed.

#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

namespace zubo {

// The digits before ".dat" in a dat name ("1700000001.dat" gives
// 1700000001); 0 when they aren't all digits or there are none.
long long thread_key(const char* dat_name);

// N of the label's trailing "(N)" ("スレタイ (123)" gives 123); 0 when the
// label doesn't end so.
int label_posts(const char* title);

// One entry of the thread list, as the marks and orders see it.
struct ListedThread {
    long long key = 0;
    int posts = 0;
    std::optional<store::ThreadState> state;
    // The read state couldn't be read: nothing is known, not "never read".
    bool state_unknown = false;
};

// The entry for a thread-list record; states is the board's read state
// keyed by dat name (store::Database::board_threads).
ListedThread listed_thread(const char* dat_name, const char* title,
                           const store::BoardStates& states);

// Posts beyond the highest one seen; 0 without state.
int unread_posts(const ListedThread& thread);

// The mark after the label (CP932): " [未読N]" or " [既読]" with state,
// " [新]" without state when the board has a visited time and the key is
// later; else empty, and empty whatever else when the state is unknown.
// visited is the time stored before this visit.
std::string thread_mark(const ListedThread& thread, std::optional<long long> visited);

// Posts a day: posts * 86400 / max(1, now - key).
long long momentum(const ListedThread& thread, long long now);
// " 勢N" (CP932), shown after the label in the momentum order.
std::string momentum_text(long long momentum);

enum class ListOrder { momentum, newest, posts, unread, original };

// The order for the letter after `o` (m, n, c, u, o); none for another.
std::optional<ListOrder> list_order(char letter);
// The order's name for the sort line (CP932).
const char* list_order_name(ListOrder order);

// The list's entry numbers (1 for threads[0], as the service listed them)
// in the given order. Ties keep the service's order; in the unread order
// threads without unread posts follow in the service's order.
std::vector<int> sorted_entries(const std::vector<ListedThread>& threads, ListOrder order, long long now);

}  // namespace zubo
